// The Tcl runner, event broadcast and scopes, and component attachments.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Port/MsgMan.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAttachment.h"
#include "support/EventNode.h"
#include "utils/FileStamp.h"
#include "utils/InterpHelp.h"

using testing_support::CNode;

namespace {

const Port::XUID kBegin("{4E4E4E4E-BBBB-4BBB-8BBB-BBBBBBBBBB01}");
const Port::XUID kEnd("{4E4E4E4E-BBBB-4BBB-8BBB-BBBBBBBBBB02}");

using InterpHelpTest = testing_support::NodeFixture;

TEST_F(InterpHelpTest, BroadcastsReachTheObjectAndEveryRelayListener) {
  Prjrep::AutoRelease<CitI::IInterface> relayA(CitP::Factory::CreateInstance(Prjrep::ClassId::BroadcastRelay()));
  Prjrep::AutoRelease<CNode> object(CNode::Make());
  Prjrep::AutoRelease<CNode> listener(CNode::Make());
  Hvd::ConnectEventReceiver(object.Get(), object.Get());
  Hvd::ConnectEventReceiver(relayA.Get(), listener.Get());  // through one relay instance
  {
    Hvd::EventScope scope(object.Get(), kBegin, kEnd, nullptr, true);  // broadcast through others
    EXPECT_EQ(listener->ids, std::vector<Port::XUID>{kBegin});
  }
  EXPECT_EQ(listener->ids, (std::vector<Port::XUID>{kBegin, kEnd}));
  EXPECT_EQ(object->ids, (std::vector<Port::XUID>{kBegin, kEnd}));
  Hvd::EventScope(object.Get(), kBegin, kEnd, nullptr, false);  // begins and ends at once
  EXPECT_TRUE(listener->ids.size() == 2u && object->ids.size() == 4u) << "a scope that does not broadcast stays";
  Hvd::BroadcastEvent(nullptr, kBegin, nullptr);  // an object without a sender: the relay still hears
  EXPECT_EQ(listener->ids.size(), 3u);
}

TEST_F(InterpHelpTest, AnAttachmentAnswersForItsOwnerUntilReleased) {
  Prjrep::AutoRelease<CNode> owner(CNode::Make());
  Hvd::ComponentInterfaceRef ref;
  Hvd::CreateComponentInterfaceRef(ref);
  Hvd::SetComponentRefOwner(ref, owner.Get());
  auto* attached =
      static_cast<Prjrep::IAttachedInterface*>(Hvd::QueryComponentRef(ref, Prjrep::IAttachedInterface::GetIID()));
  ASSERT_NE(attached, nullptr);
  Prjrep::AutoRelease<CitI::IInterface> back;
  std::ignore = attached->GetOwner(back.Receive());
  EXPECT_EQ(back.Get(), static_cast<CitI::IInterface*>(owner.Get()));
  EXPECT_EQ(Hvd::ReleaseComponentRef(ref), Hvd::kSuccess);
  EXPECT_TRUE(ref.attachment == nullptr &&
              Hvd::QueryComponentRef(ref, Prjrep::IAttachedInterface::GetIID()) == nullptr);
  EXPECT_EQ(Hvd::ReleaseComponentRef(ref), Hvd::kSuccess) << "twice";
}

class TclRunnerTest : public testing_support::NodeFixture {
 protected:
  void SetUp() override {
    NodeFixture::SetUp();
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_TOE"));
    ASSERT_EQ(InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr), Hvd::kSuccess);
  }
  static std::string Run(const std::string& command, Hvd::Status expected = Hvd::kSuccess) {
    Port::StringBase<char> result;
    EXPECT_EQ(InterpHelp::RunCmd(command.c_str(), nullptr, false, &result), expected) << command;
    return result.str();
  }
};

TEST_F(TclRunnerTest, CommandsRunWithAndWithoutTheBoundObject) {
  EXPECT_EQ(Run("set ::x 5"), "5");
  EXPECT_EQ(Run("error boom", Hvd::kFailure), "boom");
  Run("proc ::echoThis {this} {return $this}");
  Prjrep::AutoRelease<CNode> object(CNode::Make());
  Port::StringBase<char> bound, unbound("stale");
  EXPECT_EQ(InterpHelp::RunCmd("::echoThis", object.Get(), true, &bound), Hvd::kSuccess);
  EXPECT_EQ(InterpHelp::RunCmd("::echoThis", nullptr, true, &unbound), Hvd::kSuccess);
  EXPECT_TRUE(!bound.empty() && unbound.empty());
}

// Every ASCII character, alone, inside a value and at both ends, included: Tcl separates
// words and list elements at each of its white-space characters. Results and error text are
// UTF-8 as given: NUL is one zero byte, and characters past U+FFFF keep their four bytes even
// after Tcl has held them as surrogate pairs. A byte outside UTF-8 comes back as its Latin-1 character.
TEST_F(TclRunnerTest, HostileValuesArriveUnchangedAndRunNothing) {
  std::vector<std::string> values = {
      "",        "[set ::pwned 1]",           "$::x", "x\n;set ::pwned 2", "{[]}", "\v[set ::pwned 3]\f", "\\n",
      "\\u0041", std::string("a\0\0b\v\f", 6)};
  values.push_back("\xc3\xa9\xe2\x82\xac\xef\xbf\xbd\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf|");
  for (int c = 0; c < 0x80; ++c) {
    const std::string one(1, static_cast<char>(c));
    values.insert(values.end(), {one, "a" + one + "b", one + "1" + one});
  }
  for (const std::string& value : values) {
    const std::string word = Hvd::TclWord(value).str();
    EXPECT_EQ(Run("set ::echo " + word), value) << word;
    EXPECT_EQ(Run("string range " + word + " 0 end"), value) << "through Tcl's Unicode form: " << word;
    EXPECT_EQ(Run("error " + word, Hvd::kFailure), value) << word;
    EXPECT_EQ(Run("llength [list " + word + "]"), "1") << "one word: " << word;
    Run("set ::text " + Hvd::TclWord(word).str());  // the word's own text is also a list of just the value
    EXPECT_EQ(Run("llength $::text") + Run("lindex $::text 0"), "1" + value) << word;
  }
  EXPECT_EQ(Run("info exists ::pwned"), "0");
  std::string bytes, expected;
  for (int c = 0x80; c < 0x100; ++c) {
    bytes += static_cast<char>(c);
    expected += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
  }
  EXPECT_EQ(Run("set ::echo " + Hvd::TclWord(bytes).str()), expected);
}

TEST_F(InterpHelpTest, WithoutAnInterpreterNothingRuns) {
  Port::StringBase<char> result("untouched");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(InterpHelp::RunCmd("set x 1", nullptr, false, &result), Hvd::kFailure);
  EXPECT_EQ(result, "untouched");
  EXPECT_EQ(Port_MsgManData::Captured().back().text, "InterpHelp::RunCmd: No TOE interpreter found.\n");
}

}  // namespace
