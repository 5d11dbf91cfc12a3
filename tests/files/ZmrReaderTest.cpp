// The embedded-platform file reader: the files listed per purpose, and what it answers for a
// file that is missing, malformed or crafted to make the parser read another file.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "core/Factory.h"
#include "Prjrep/StandIns.h"
#include "files/CZmrFileReader.h"
#include "hostkit/TempDir.h"

namespace {

using Prjrep::AutoRelease;
using Strings = std::vector<std::string>;

class ZmrReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstFactoryEntry();
    Prjrep::RegisterComponents();  // the string set
    m_reader = AutoRelease<Hvd::IZmrFileReader>(CitP::Factory::CreateInstance(Hvd::ClassId::ZmrFileReader()));
    ASSERT_TRUE(m_reader);
  }
  void TearDown() override {
    m_reader = nullptr;
    CitP::Factory::Shutdown();
  }
  // The URLs listed for `purpose`, and the status in `status`.
  Strings Files(const char* purpose, Hvd::Status* status = nullptr) {
    AutoRelease<Prjrep::IStringIterator> at;
    const Hvd::Status listed = m_reader->GetFiles(purpose, at.Receive());
    if (status != nullptr) *status = listed;
    Strings urls;
    for (; at && !at->IsDone(); std::ignore = at->Next()) urls.push_back(at->Current().str());
    return urls;
  }

  TempDir m_dir;
  AutoRelease<Hvd::IZmrFileReader> m_reader;
};

TEST_F(ZmrReaderTest, ListsTheFilesOfAPurposeAndLeavesConstraintsOutWhereAsked) {
  TempDir::Write(m_dir / "p.zmr",
                 "<?xml version='1.0'?><Project xmlns='urn:p'><File URL='a.v' Type='HDL'/>"
                 "<Group><Sub><File URL='sys.ucf' Type='UCF'/></Sub></Group>"
                 "<File URL='low.ucf' Type='ucf'/><File Type='BMM'/></Project>");
  ASSERT_EQ(m_reader->Load((m_dir / "p.zmr").c_str()), Hvd::kSuccess);
  const Strings all = {"a.v", "sys.ucf", "low.ucf", ""};
  const Strings withoutConstraints = {"a.v", "low.ucf", ""};
  EXPECT_EQ(Files("quenlox"), withoutConstraints);
  EXPECT_EQ(Files("other"), all) << "a second call replaces the first one's result";
  EXPECT_EQ(Files("tevrak"), withoutConstraints);
  EXPECT_EQ(Files(""), all);
  EXPECT_EQ(Files("Quenlox"), all);
  EXPECT_EQ(m_reader->GetFiles("x", nullptr), Hvd::kInvalidParameter);
}

TEST_F(ZmrReaderTest, WithoutADocumentTheListIsEmptyAndTheStatusAFailure) {
  Hvd::Status status = Hvd::kSuccess;
  EXPECT_TRUE(Files("x", &status).empty());
  EXPECT_EQ(status, Hvd::kNotSetUp) << "before any load";

  const std::string secret = m_dir / "secret.txt";
  TempDir::Write(secret, "TOP-SECRET");
  TempDir::Write(m_dir / "good.zmr", "<P><File URL='kept.v'/></P>");
  TempDir::Write(m_dir / "bad.zmr", "<P><File URL='a.v'></P>");
  TempDir::Write(m_dir / "evil.zmr",
                 "<!DOCTYPE P [<!ENTITY x SYSTEM 'file://" + secret + "'>]><P><File URL='&x;'/></P>");
  ASSERT_EQ(::mkfifo((m_dir / "fifo.zmr").c_str(), 0600), 0);    // would block a reader for ever
  TempDir::Write(m_dir / "deep.zmr", std::string(100000, '<'));  // past the nesting bound
  for (const char* name : {"bad.zmr", "evil.zmr", "absent.zmr", "fifo.zmr", "deep.zmr"}) {
    ASSERT_EQ(m_reader->Load((m_dir / "good.zmr").c_str()), Hvd::kSuccess);
    EXPECT_EQ(m_reader->Load((m_dir / name).c_str()), Hvd::kFailure) << name;
    EXPECT_TRUE(Files("x", &status).empty()) << name << ": nothing of the earlier file, nothing read elsewhere";
    EXPECT_EQ(status, Hvd::kNotSetUp) << name;
  }
  EXPECT_EQ(m_reader->Load(""), Hvd::kFailure);
}

}  // namespace
