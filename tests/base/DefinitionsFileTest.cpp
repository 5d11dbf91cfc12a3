// The library's reading of definitions files other than its own: hostile files fail to load
// rather than take the process down, and platform types share their owner's property list.

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Hvd/BaseStandIn.h"
#include "hostkit/TempDir.h"

namespace {

using Hvd::StandInReadDefinitions;
using Strings = std::vector<std::string>;

class DefinitionsFileTest : public ::testing::Test {
 protected:
  Hvd::StandInDefinitions Read(const std::string& text) {
    const std::string path = dir / "definitions.xml";
    TempDir::Write(path, text);
    return StandInReadDefinitions(path);
  }
  static std::string Property(const std::string& name, const std::string& owner, const std::string& body = "") {
    return "<property name=\"" + name + "\" kind=\"list\" owner=\"" + owner + "\">" + body + "</property>";
  }
  static std::string Definitions(const std::string& properties, const std::string& rest = "") {
    return "<definitions version=\"1\"><properties>" + properties + "</properties>" + rest + "</definitions>";
  }
  TempDir dir;
};

TEST_F(DefinitionsFileTest, NestingInAValueListLoadsUntilItIsTooDeep) {
  const auto nested = [](int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) open += "<b>", close += "</b>";
    return "<allowed>" + open + "x" + close + "</allowed>";
  };
  EXPECT_TRUE(Read(Definitions(Property("PROP_A", "platform", nested(3)))).loaded);
  // Far deeper than any real list: a reader that recursed over such children could exhaust its stack.
  const auto deep = Read(Definitions(Property("PROP_A", "platform", nested(1000))));
  EXPECT_TRUE(!deep.loaded && deep.definitions == 0u);
}

TEST_F(DefinitionsFileTest, ADocumentTypeOrEntityIsRefused) {
  const std::string secret = dir / "secret.xml";
  TempDir::Write(secret, "<allowed>secret</allowed>");
  // Any opening of the referenced file is recorded, so following it shows even when refused.
  const int watch = ::inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, secret.c_str(), IN_OPEN), 0);
  for (const std::string& prolog : {"<!DOCTYPE definitions SYSTEM \"" + secret + "\">",
                                    "<!DOCTYPE definitions [<!ENTITY e SYSTEM \"" + secret + "\">]>",
                                    "<!DOCTYPE definitions [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]>"}) {
    EXPECT_FALSE(Read(prolog + Definitions(Property("PROP_A", "platform", "&e;"))).loaded) << prolog;
  }
  char event[sizeof(inotify_event) + 256];
  EXPECT_LT(::read(watch, event, sizeof event), 0) << "the referenced file was opened";
  ::close(watch);
}

TEST_F(DefinitionsFileTest, PlatformTypesOfOneOwnerShareItsPropertyList) {
  const auto read = Read(
      Definitions(Property("PROP_A1", "a") + Property("PROP_B1", "b") + Property("PROP_A2", "a"),
                  "<platformTypes><platformType name=\"DPT_1\" owner=\"a\"/><platformType name=\"DPT_2\" owner=\"b\"/>"
                  "<platformType name=\"DPT_3\" owner=\"a\"/><platformType name=\"DPT_4\" owner=\"a\"/>"
                  "<platformType name=\"DPT_5\" owner=\"none\"/></platformTypes>"));
  ASSERT_TRUE(read.loaded);
  const Strings a{"PROP_A1", "PROP_A2"};
  EXPECT_EQ(read.platformProperties, (std::vector<Strings>{a, {"PROP_B1"}, a, a, {}}));
  // One list per owner, however many platform types take it.
  EXPECT_TRUE(read.definitions == 8u && read.platformPropertyLists == 3u);
}

}  // namespace
