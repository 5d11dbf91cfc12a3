// Writing project source files: the exact layout, rewriting in place, a save that writes
// nothing when nothing changed, and writes that never leave a torn file.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <random>
#include <thread>

#include "Hvd/IViewManager.h"
#include "Port/FaultInjection.h"
#include "XhlcProject.h"
#include "project/copy/CFileMapHelper.h"
#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/XMLDifferencer.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "support/FakeProject.h"
#include "utils/KeyedProperty.h"

namespace xhlc_test {
namespace {

using Hvd::CProjectSourceXMLWriter;
using Severity = Port_MsgManData::Severity;

std::string Absolute(const fs::path& path) { return fs::weakly_canonical(path).string(); }

// The blocks of a written file, one per section (they are set apart by an empty line).
Strings Sections(const std::string& text) {
  Strings blocks;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find("\n\n", start)) != std::string::npos; start = at + 2)
    blocks.push_back(text.substr(start, at - start));
  blocks.push_back(text.substr(start));
  return blocks;
}

// The indexes of the blocks that differ; two texts with other numbers of blocks differ in all.
std::vector<std::size_t> Changed(const std::string& before, const std::string& after) {
  const Strings a = Sections(before);
  const Strings b = Sections(after);
  std::vector<std::size_t> changed;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i >= a.size() || i >= b.size() || a[i] != b[i]) changed.push_back(i);
  }
  return changed;
}
constexpr std::size_t kFilesBlock = 3;
constexpr std::size_t kPropertiesBlock = 5;

class XhlcWriterTest : public XhlcProject {
 protected:
  void TearDown() override {
    CProjectSourceXMLWriter::ForgetEnvironmentFlags();
    XhlcProject::TearDown();
  }
  // The project's save: the reader's document when it has one, else a whole new file.
  Hvd::Status Save(const fs::path& target) {
    CProjectSourceXMLWriter writer(target.c_str(), m_project.Get());
    if (m_reader && m_reader->GetDocument() != nullptr) return writer.WriteIfChanged(m_reader->GetDocument());
    return writer.Write();
  }
  Hvd::Status WriteNew(const fs::path& target) {
    CProjectSourceXMLWriter writer(target.c_str(), m_project.Get());
    return writer.Write();
  }
};

TEST_F(XhlcWriterTest, ReadAndWrittenBackByteForByte) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  const std::string fixture = ReadText(kData / "full.xhlc");
  // A new document from the project gives the hand-written file's bytes, less the partitions
  // that are no longer kept.
  ASSERT_EQ(WriteNew(m_dir / "new.xhlc"), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_dir / "new.xhlc"), fixture.substr(0, fixture.find("  <partitions>")) + "</project>\n");

  // Saved unchanged: nothing is written, not even the time stamp.
  const Stamp before = StampOf(m_file);
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  EXPECT_TRUE(StampOf(m_file) == before);
  EXPECT_TRUE(Captured(Severity::Debug, "No need to write... elements are the same\n"));
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  EXPECT_TRUE(StampOf(m_file) == before);

  // Written all the same without the check: the read document rebuilt in place keeps every
  // byte, the partitions included.
  ::setenv("VEL_CORVANE_NO_DIRTY_CHECK", "1", 1);
  CProjectSourceXMLWriter::ForgetEnvironmentFlags();
  const Hvd::Status forced = Save(m_file);
  ::unsetenv("VEL_CORVANE_NO_DIRTY_CHECK");
  ASSERT_EQ(forced, Hvd::kSuccess);
  EXPECT_FALSE(StampOf(m_file) == before);
  EXPECT_EQ(ReadText(m_file), fixture);
}

TEST_F(XhlcWriterTest, OnlyTheChangedSectionIsRewritten) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  const std::string original = ReadText(m_file);
  // One file's library.
  AutoRelease<Hvd::ISourceLibrary> mylib;
  ASSERT_EQ(Libraries()->FindSourceLibrary("mylib", mylib.Receive()), Hvd::kSuccess);
  ASSERT_EQ(mylib->AddFileToLibrary(File(m_dir / "src/top.vhd")), Hvd::kSuccess);
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  std::string now = ReadText(m_file);
  EXPECT_EQ(Changed(original, now), (std::vector<std::size_t>{kFilesBlock}));
  EXPECT_NE(now.find("<file vel_kv:name=\"src/top.vhd\" vel_kv:type=\"FILE_VHDL\">\n"
                     "      <association vel_kv:name=\"BehavioralSimulation\" vel_kv:seqID=\"2\"/>\n"
                     "      <association vel_kv:name=\"Implementation\" vel_kv:seqID=\"70000\"/>\n"
                     "      <library vel_kv:name=\"mylib\"/>"),
            std::string::npos);
  // One property.
  std::string before = now;
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  now = ReadText(m_file);
  EXPECT_EQ(Changed(before, now), (std::vector<std::size_t>{kPropertiesBlock}));
  EXPECT_NE(now.find("<property vel_kv:name=\"Speed Grade\" vel_kv:value=\"-3\" vel_kv:valueState=\"non-default\"/>"),
            std::string::npos);
  // One file added: it comes last among the ordinary files, before the child project.
  before = now;
  AutoRelease<Hvd::IHdlFile> added;
  ASSERT_EQ(Internal()->ProjectAddFile((m_dir / "src/extra.vhd").c_str(), nullptr, added.Receive()), Hvd::kSuccess);
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  now = ReadText(m_file);
  EXPECT_EQ(Changed(before, now), (std::vector<std::size_t>{kFilesBlock}));
  EXPECT_NE(now.find("<file vel_kv:name=\"src/extra.vhd\" vel_kv:type=\"FILE_VHDL\"/>\n"
                     "    <file vel_kv:name=\"../ip/core/core.xhlc\""),
            std::string::npos);
  // And the project reads back as it was saved.
  Close();
  ASSERT_TRUE(Load(m_file));
  EXPECT_EQ(LibraryOf(File(m_dir / "src/top.vhd")), "mylib");
  EXPECT_EQ(Property("PROP_DevSpeed"), "-3");
  EXPECT_EQ(FileNames().size(), 6U);
}

// The files section is compared with the file's as the project's files are described, before
// any element is built: whatever the file's files section holds, the save writes exactly when
// the section comparison finds it different, and then writes the section a new file has.
TEST_F(XhlcWriterTest, FilesSectionIsWrittenExactlyWhenTheComparisonFindsItDifferent) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  const std::string original = ReadText(m_file);
  ASSERT_EQ(WriteNew(m_dir / "new.xhlc"), Hvd::kSuccess);
  const std::string fresh = ReadText(m_dir / "new.xhlc");
  const auto filesOf = [](xercesc::DOMDocument* document) {
    return Hvd::XMLNamespaceHelper().FindChildElement(document->getDocumentElement(), u"files");
  };
  const auto edited = [&](const std::string& from, const std::string& to) {
    std::string text = original;
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  const std::vector<std::string> variants = {
      original,
      edited("      <association vel_kv:name=\"Implementation\" vel_kv:seqID=\"1\"/>",
             "\t<association vel_kv:name=\"Implementation\"\n   vel_kv:seqID=\"1\"/>"),
      edited("<association vel_kv:name=\"BehavioralSimulation\" vel_kv:seqID=\"1\"/>",
             "<association vel_kv:seqID=\"1\" vel_kv:name=\"BehavioralSimulation\"/>"),
      edited("<library vel_kv:name=\"mylib\"/>", "<library vel_kv:name=\"mylib\">  </library>"),
      edited("<library vel_kv:name=\"mylib\"/>", "<library name=\"mylib\"/>"),
      edited("<library vel_kv:name=\"mylib\"/>", "<library vel_kv:name=\"mylib\"/><!-- a note -->"),
      edited("<library vel_kv:name=\"mylib\"/>", "<library vel_kv:name=\"mylib\"/>text"),
      edited("<library vel_kv:name=\"mylib\"/>", "<library vel_kv:name=\"mylib\"><x/></library>"),
      edited("<library vel_kv:name=\"mylib\"/>", ""),
      edited("vel_kv:type=\"FILE_VHDL\">", "vel_kv:type=\"FILE_VHDL\" vel_kv:extra=\"1\">"),
      edited(" vel_kv:seqIDinc=\"3\"", ""),
      edited("vel_kv:seqID=\"70000\"", "vel_kv:seqID=\"70001\""),
      edited("<file vel_kv:name=\"src/pkg.vhd\"", "<file vel_kv:name=\"src/other.vhd\""),
      edited("  </files>", "    <file vel_kv:name=\"src/more.vhd\" vel_kv:type=\"FILE_VHDL\"/>\n  </files>"),
  };
  for (std::size_t i = 0; i < variants.size(); ++i) {
    SCOPED_TRACE("variant " + std::to_string(i));
    WriteText(m_file, variants[i]);
    ASSERT_TRUE(m_reader->ParseFile(m_file.c_str()));
    m_reader->ReadVersion();
    Hvd::Xml::DocumentPtr theirs = Hvd::Xml::ParseXmlFile(m_file.c_str());
    Hvd::Xml::DocumentPtr ours = Hvd::Xml::ParseXmlFile((m_dir / "new.xhlc").c_str());
    ASSERT_TRUE(theirs && ours);
    const bool differs = !Hvd::XMLDifferencer(true).Compare(filesOf(ours.get()), filesOf(theirs.get()));
    ASSERT_EQ(Save(m_file), Hvd::kSuccess);
    const std::string now = ReadText(m_file);
    EXPECT_EQ(now != variants[i], differs);
    if (differs) {
      EXPECT_EQ(Sections(now)[kFilesBlock], Sections(fresh)[kFilesBlock]);
    }
  }
}

TEST_F(XhlcWriterTest, OlderFileIsRewrittenAroundWhatItKeeps) {
  ASSERT_TRUE(LoadFixture("unknown.xhlc"));
  // Another product version: always written. Unknown children and comments keep their place,
  // the header goes first, the missing sections last.
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  const std::string text = ReadText(m_file);
  const std::size_t header = text.find("<header>");
  const std::size_t note = text.find("<!-- kept by hand: a note for the next reader -->");
  const std::size_t version = text.find("<version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>");
  const std::size_t tool = text.find("<toolNotes vel_kv:owner=\"someone\">keep me</toolNotes>");
  const std::size_t files = text.find("<files>");
  const std::size_t partitions = text.find("<partitions>");
  const std::size_t libraries = text.find("<libraries/>");
  ASSERT_TRUE(header != std::string::npos && note != std::string::npos && version != std::string::npos &&
              tool != std::string::npos && partitions != std::string::npos && libraries != std::string::npos)
      << text;
  EXPECT_TRUE(header < note && note < version && version < tool && tool < files && files < partitions &&
              partitions < libraries)
      << text;
  EXPECT_EQ(text.find("futureThing"), std::string::npos);  // inside a section, rebuilt
  // The next save finds it the same.
  const Stamp stamp = StampOf(m_file);
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  EXPECT_TRUE(StampOf(m_file) == stamp);
}

TEST_F(XhlcWriterTest, AFileKeepsTheEncodingItWasReadWith) {
  WriteText(m_file,
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">"
            "<version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/>"
            "<files><file vel_kv:name=\"caf\xe9.vhd\" vel_kv:type=\"FILE_VHDL\"/></files></project>\n");
  ASSERT_TRUE(Load(m_file));
  EXPECT_EQ(FileNames(), (Strings{Absolute(m_dir / "caf\xc3\xa9.vhd")}));
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  const std::string text = ReadText(m_file);
  EXPECT_NE(text.find("encoding=\"ISO-8859-1\""), std::string::npos) << text;
  EXPECT_NE(text.find("vel_kv:name=\"caf\xe9.vhd\""), std::string::npos) << text;
}

// A file is written with the branches of the abstract views it is in that a project file can
// name; an abstract view of any other branch adds none, so a file only in such a view is written
// in no view, and the write succeeds.
TEST_F(XhlcWriterTest, AnAbstractViewOfABranchOutsideTheTableWritesNoAssociation) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  AutoRelease<Hvd::IViewIterator> views;
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(m_design.Get())->GetViews(views.Receive()), Hvd::kSuccess);
  int changed = 0;
  for (; views && !views->IsDone(); std::ignore = views->Next()) {
    if (Hvd::GetKeyedPropertyValue(views->Current(), "SUBBRANCH") == "Abstract" &&
        Hvd::GetKeyedPropertyValue(views->Current(), "BRANCH") == "BehavioralSimulation") {
      Hvd::SetKeyedPropertyValue(views->Current(), "BRANCH", "PostSynthesisSimulation");
      ++changed;
    }
  }
  ASSERT_GT(changed, 0);
  ASSERT_EQ(WriteNew(m_dir / "new.xhlc"), Hvd::kSuccess);
  const std::string text = ReadText(m_dir / "new.xhlc");
  EXPECT_EQ(text.find("<association vel_kv:name=\"PostSynthesisSimulation\""), std::string::npos) << text;
  EXPECT_NE(text.find("    <file vel_kv:name=\"src/top.vhd\" vel_kv:type=\"FILE_VHDL\">\n"
                      "      <association vel_kv:name=\"Implementation\" vel_kv:seqID=\"70000\"/>\n"
                      "      <library vel_kv:name=\"Work\"/>\n    </file>\n"
                      "    <file vel_kv:name=\"inc/defs.v\""),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("    <file vel_kv:name=\"tb/tb_top.vhd\" vel_kv:type=\"FILE_VHDL\"/>\n"), std::string::npos)
      << text;
}

TEST_F(XhlcWriterTest, EmptyProjectAndItsForms) {
  OpenEmpty(m_file);
  ASSERT_EQ(WriteNew(m_file), Hvd::kSuccess);
  std::string text = ReadText(m_file);
  const Strings blocks = Sections(text);
  ASSERT_EQ(blocks.size(), 9U) << text;  // the declaration and root, seven sections, the end
  EXPECT_EQ(blocks[3], "  <files/>");
  EXPECT_EQ(blocks[6], "  <bindings/>");
  EXPECT_EQ(blocks[7], "  <libraries/>");
  EXPECT_EQ(blocks[4].substr(blocks[4].rfind('\n') + 1), "  </autoManagedFiles>");
  // Default values are left out, except the platform's; a locked default is written locked.
  EXPECT_EQ(text.find("Working Directory"), std::string::npos);
  Hvd::PropertyAccessor accessor(m_project.Get());
  accessor.SetPropertyValue("PROP_WorkingDirectory", m_dir.c_str(), true);
  accessor.SetPropertyValue("PROP_DevSpeed", "-2", true);
  ASSERT_EQ(WriteNew(m_file), Hvd::kSuccess);
  text = ReadText(m_file);
  EXPECT_NE(
      text.find("<property vel_kv:name=\"Working Directory\" vel_kv:value=\".\" vel_kv:valueState=\"non-default\" "
                "vel_kv:x_locked=\"true\"/>"),
      std::string::npos)
      << text;
  EXPECT_NE(text.find("<property vel_kv:name=\"Speed Grade\" vel_kv:value=\"-2\" vel_kv:valueState=\"default\" "
                      "vel_kv:x_locked=\"true\"/>"),
            std::string::npos);
  EXPECT_EQ(text.find("x_locked=\"false\""), std::string::npos);

  // The unsorted form: the order warning first, no internal-use block.
  ::setenv("VEL_CORVANE_XHLC_UNSORTED", "1", 1);
  CProjectSourceXMLWriter::ForgetEnvironmentFlags();
  const Hvd::Status status = WriteNew(m_file);
  ::unsetenv("VEL_CORVANE_XHLC_UNSORTED");
  ASSERT_EQ(status, Hvd::kSuccess);
  text = ReadText(m_file);
  EXPECT_NE(text.find("  <properties>\n    <!-- Warning: Some properties are order dependent.  Changing the order -->\n"
                      "    <!--          may cause unexpected behavior.                           -->\n"),
            std::string::npos);
  EXPECT_EQ(text.find("internal use only"), std::string::npos);
}

// The tool-search words are written as they are, also by a copy whose file map would place any
// other name; a copy's relative working directory stands below the copy, and the paths of its
// file properties are written from there.
TEST_F(XhlcWriterTest, KeptWordsStayAndACopysRelativeWorkingDirectoryIsTheCopysOwn) {
  OpenEmpty(m_file);
  Hvd::PropertyAccessor accessor(m_project.Get());
  accessor.SetPropertyValue("PROP_MessageFilterFile", "Search in Path");
  accessor.SetPropertyValue("PROP_OvraSimDataFileName_behav", "$VELMOR/<language>/<simulator>");
  accessor.SetPropertyValue("PROP_OvraSimDataFileName_par", "Default");
  accessor.SetPropertyValue("PROP_WorkingDirectory", "out");
  accessor.SetPropertyValue("PROP_SynthConstraintsFile", (m_dir / "c" / "x.sdc").c_str());
  const fs::path copy = m_root / "copy";
  fs::create_directories(copy);
  Hvd::CFileMapHelper map;
  ASSERT_EQ(map.SetupMap(true, true, m_dir.c_str(), copy.c_str(), (copy / "remote_sources").c_str(), false,
                         (m_dir / "out" / "p.hlc").c_str(), (copy / "q.xhlc").c_str(), (copy / "out").c_str()),
            Hvd::kSuccess);
  CProjectSourceXMLWriter writer((copy / "q.xhlc").c_str(), m_project.Get());
  ASSERT_EQ(writer.SetFileMap(&map), Hvd::kSuccess);
  ASSERT_EQ(writer.Write(), Hvd::kSuccess);
  const std::string text = ReadText(copy / "q.xhlc");
  const auto written = [&text](const std::string& name, const std::string& value) {
    return text.find("<property vel_kv:name=\"" + name + "\" vel_kv:value=\"" + value +
                     "\" vel_kv:valueState=\"non-default\"/>") != std::string::npos;
  };
  EXPECT_TRUE(written("PROP_MessageFilterFile", "Search in Path")) << text;
  EXPECT_TRUE(written("PROP_OvraSimDataFileName_behav", "$VELMOR/&lt;language&gt;/&lt;simulator&gt;")) << text;
  EXPECT_TRUE(written("PROP_OvraSimDataFileName_par", "Default")) << text;
  EXPECT_TRUE(written("Working Directory", "out")) << text;
  // From the copy's "out", not the source project's: the file is mapped into the copy as well.
  EXPECT_TRUE(written("PROP_SynthConstraintsFile", "../c/x.sdc")) << text;
}

// Files written in an order that goes back and forth between directories, and that holds the
// project's own directory and one beside it, are each named from their own directory.
TEST_F(XhlcWriterTest, EachFileIsNamedFromItsOwnDirectory) {
  OpenEmpty(m_file);
  const char* added[] = {"b/z.vhd", "a/y.vhd", "top.vhd", "a/x.vhd", "b/w.vhd", "../lib/v.vhd", "a/b/u.vhd"};
  for (const char* name : added) {
    WriteText(m_dir / name, "entity e is end;\n");
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(Internal()->ProjectAddFile((m_dir / name).c_str(), nullptr, file.Receive()), Hvd::kSuccess) << name;
  }
  ASSERT_EQ(WriteNew(m_file), Hvd::kSuccess);
  const std::string text = ReadText(m_file);
  for (const char* name : added)
    EXPECT_NE(text.find(std::string("<file vel_kv:name=\"") + name + "\""), std::string::npos) << name << "\n" << text;
  EXPECT_EQ(Sections(text)[kFilesBlock].find("proj/"), std::string::npos) << text;
}

TEST_F(XhlcWriterTest, SaveToAnotherExistingFileComparesWithThatFile) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  // Names with marks to escape, plain and not: a new file lays its entries out as text, the
  // other file gets them as elements, and the two must read the same.
  for (const char* name : {"src/x&y<z>\"q'r\tt.vhd", "src/caf\xc3\xa9 &.vhd"}) {
    AutoRelease<Hvd::IHdlFile> added;
    ASSERT_EQ(Internal()->ProjectAddFile((m_dir / name).c_str(), nullptr, added.Receive()), Hvd::kSuccess);
  }
  // The target holds another project: it is written, although the project's own file, which
  // the reader parsed, is the same as what would be written.
  const fs::path other = m_dir / "other.xhlc";
  fs::copy_file(kData / "unknown.xhlc", other);
  ASSERT_EQ(Save(other), Hvd::kSuccess);
  ASSERT_EQ(WriteNew(m_dir / "expected.xhlc"), Hvd::kSuccess);
  const std::string expected = ReadText(m_dir / "expected.xhlc");
  const Strings written = Sections(ReadText(other));
  for (const std::string& block : Sections(expected)) {
    if (block.find("<header>") != std::string::npos || block.find("</project>") != std::string::npos) continue;
    EXPECT_NE(std::find(written.begin(), written.end(), block), written.end()) << block;
  }
  // Saved again: the same, so not written.
  const Stamp stamp = StampOf(other);
  ASSERT_EQ(Save(other), Hvd::kSuccess);
  EXPECT_TRUE(StampOf(other) == stamp);
  // The project's own file is compared with itself again, and a change there is written.
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("vel_kv:value=\"-3\""), std::string::npos);
}

TEST_F(XhlcWriterTest, FailuresAreReportedAndLeaveTheOldFile) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  const std::string old = ReadText(m_file);
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_DevSpeed", "-3");
  {
    Port::FaultInjection::Scope scope;
    for (const char* step : {"open", "write", "fsync", "rename"}) {
      SCOPED_TRACE(step);
      Port::FaultInjection::Fail(step, 0, "p.xhlc");
      EXPECT_EQ(Save(m_file), Hvd::kFailure);
      EXPECT_EQ(ReadText(m_file), old);
      Port::FaultInjection::Clear();
    }
  }
  // The failed saves did not make the next one believe the file is current.
  ASSERT_EQ(Save(m_file), Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("vel_kv:value=\"-3\""), std::string::npos);

  // A project whose files cannot be listed is not saved at all, rather than saved empty.
  AutoRelease<Hvd::IProject> fake(new testing_support::FakeProject);
  const std::string now = ReadText(m_file);
  Port_MsgManData::ClearCaptured();
  for (Hvd::IProject* project : {fake.Get(), static_cast<Hvd::IProject*>(nullptr)}) {
    CProjectSourceXMLWriter writer(m_file.c_str(), project);
    EXPECT_EQ(writer.Write(), Hvd::kFailure);
    CProjectSourceXMLWriter again(m_file.c_str(), project);
    EXPECT_EQ(again.WriteIfChanged(nullptr), Hvd::kFailure);
    EXPECT_EQ(ReadText(m_file), now);
  }
  EXPECT_TRUE(
      Captured(Severity::Debug, "Error: CProjectSourceXMLWriter::PushFiles - Unable find obtain the FileManager.\n"));
  EXPECT_TRUE(Captured(Severity::Debug, "Error: CProjectSourceXMLWriter::PushFiles - Project not defined.\n"));
  EXPECT_EQ(CProjectSourceXMLWriter((m_dir / "x.xhlc").c_str(), nullptr).SetFileMap(nullptr), Hvd::kSuccess);
}

TEST_F(XhlcWriterTest, KilledSavesLeaveTheOldOrTheNewFile) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  // Enough files that a write takes a while to be caught in.
  for (int i = 0; i < 300; ++i) {
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(
        Internal()->ProjectAddFile((m_dir / ("gen/f" + std::to_string(i) + ".vhd")).c_str(), nullptr, file.Receive()),
        Hvd::kSuccess);
  }
  Hvd::PropertyAccessor accessor(m_project.Get());
  const auto contentWith = [&](const char* speed) {
    accessor.SetPropertyValue("PROP_DevSpeed", speed);
    EXPECT_EQ(WriteNew(m_dir / "content.xhlc"), Hvd::kSuccess);
    return ReadText(m_dir / "content.xhlc");
  };
  const std::string first = contentWith("-1");
  const std::string second = contentWith("-3");
  ASSERT_NE(first, second);
  fs::copy_file(m_dir / "content.xhlc", m_file, fs::copy_options::overwrite_existing);

  std::mt19937 random(12345);
  for (int round = 0; round < 50; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves the two contents in turn until it is killed.
      for (int i = 0;; ++i) {
        accessor.SetPropertyValue("PROP_DevSpeed", i % 2 == 0 ? "-1" : "-3");
        if (WriteNew(m_file) != Hvd::kSuccess) ::_exit(2);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(500, 20000)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself";
    const std::string text = ReadText(m_file);
    ASSERT_TRUE(text == first || text == second) << "round " << round << ": " << text.size() << " bytes";
    ASSERT_TRUE(Hvd::Xml::ParseXmlBytes(text));
  }
}

}  // namespace
}  // namespace xhlc_test
