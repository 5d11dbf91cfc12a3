// Reading project source files into a real project: the current form, the older forms, the
// stored properties, and files that are broken or hostile.

#include <cstdlib>

#include "Hvd/IHdlFile.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IViewManager.h"
#include "XhlcProject.h"
#include "utils/InterpHelp.h"
#include "utils/KeyedProperty.h"

namespace xhlc_test {
namespace {

using Hvd::CXMLReader;
using Severity = Port_MsgManData::Severity;

std::string Absolute(const fs::path& path) { return fs::weakly_canonical(path).string(); }

Strings SetContents(Prjrep::IStringSet* set) {
  Strings names;
  AutoRelease<Prjrep::IStringIterator> at;
  if (set == nullptr || set->GetIterator(at.Receive()) != Hvd::kSuccess) return names;
  for (; at && !at->IsDone(); std::ignore = at->Next()) names.push_back(at->Current().str());
  return names;
}

class XhlcReaderTest : public XhlcProject {};

TEST_F(XhlcReaderTest, CurrentFormFillsTheProject) {
  ASSERT_TRUE(LoadFixture("full.xhlc"));
  // Ordinary files in their order, the child project last; the child reference was read as
  // it stands, an .xhlc.
  const Strings names = FileNames();
  ASSERT_EQ(names.size(), 5U) << ::testing::PrintToString(names);
  EXPECT_EQ(names[0], Absolute(m_dir / "src/pkg.vhd"));
  EXPECT_EQ(names[3], Absolute(m_dir / "tb/tb_top.vhd"));
  EXPECT_EQ(names[4], Absolute(m_root / "ip/core/core.xhlc"));

  Hvd::IHdlFile* pkg = File(m_dir / "src/pkg.vhd");
  Hvd::IHdlFile* top = File(m_dir / "src/top.vhd");
  Hvd::IHdlFile* defs = File(m_dir / "inc/defs.v");
  Hvd::IHdlFile* bench = File(m_dir / "tb/tb_top.vhd");
  ASSERT_TRUE(pkg && top && defs && bench);
  // View classes: implementation is class 0, behavioural simulation class 1.
  EXPECT_TRUE(AutoCast<Hvd::IViewClassAssociation>(top)->TestBit(0));
  EXPECT_TRUE(AutoCast<Hvd::IViewClassAssociation>(top)->TestBit(1));
  EXPECT_FALSE(AutoCast<Hvd::IViewClassAssociation>(bench)->TestBit(0));
  EXPECT_TRUE(AutoCast<Hvd::IViewClassAssociation>(bench)->TestBit(1));
  // Sequence ids by branch target, an id past 16 bits kept whole.
  EXPECT_EQ(SequenceId(top, 2), 70000U);
  EXPECT_EQ(SequenceId(top, 1), 2U);
  EXPECT_EQ(SequenceId(bench, 1), 4U);
  bool global = false;
  EXPECT_TRUE(AutoCast<Hvd::IHdlFileV3>(defs)->GetGlobalInclude(&global) == Hvd::kSuccess && global);
  EXPECT_TRUE(AutoCast<Hvd::IHdlFileV3>(pkg)->GetGlobalInclude(&global) == Hvd::kSuccess && !global);

  // Libraries: "Work" is the user's own library, not the system's "work".
  EXPECT_EQ(LibraryOf(pkg), "mylib");
  EXPECT_EQ(LibraryOf(top), "Work");
  for (const char* name : {"Work", "emptylib", "mylib"}) {
    AutoRelease<Hvd::ISourceLibrary> library;
    EXPECT_EQ(Libraries()->FindSourceLibrary(name, library.Receive()), Hvd::kSuccess) << name;
  }

  // Bindings, both locators of the one file.
  bool found = false;
  AutoCast<Hvd::IDesignGraphLocatorSet> locators(top);
  ASSERT_TRUE(locators);
  EXPECT_TRUE(locators->Contains("/top/u_core", &found) == Hvd::kSuccess && found);
  EXPECT_TRUE(locators->Contains("/top/u_pkg", &found) == Hvd::kSuccess && found);

  // Properties by label, the lock kept; the working directory answered absolute.
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
  EXPECT_EQ(Property("PROP_DevDevice"), "OV250");
  EXPECT_EQ(Property("PROP_AutoCompileOrderImp"), "false");
  AutoRelease<Hvd::IPropertyInstance> family =
      Hvd::PropertyAccessor(m_project.Get()).GetPropertyInstance("PROP_DevFamily");
  bool locked = false;
  EXPECT_TRUE(AutoCast<Hvd::ILockable>(family.Get())->IsLocked(&locked) == Hvd::kSuccess && locked);
  Text directory;
  EXPECT_TRUE(m_reader->GetPropertyValue("PROP_WorkingDirectory", &directory));
  EXPECT_EQ(directory.str(), (m_dir / "build").string());

  // One partition is enough to be told that it will be dropped.
  EXPECT_TRUE(Captured(Severity::Warning, "Partitions are no longer supported"));

  AutoRelease<Prjrep::IStringSet> branch;
  ASSERT_TRUE(m_reader->GetBranchFiles(1, branch.Receive()));
  EXPECT_EQ(SetContents(branch.Get()).size(), 4U);
  ASSERT_TRUE(m_reader->GetBranchFiles(7, branch.ReleaseAndReceive()));
  EXPECT_EQ(SetContents(branch.Get()), (Strings{Absolute(m_root / "ip/core/core.xhlc")}));
}

TEST_F(XhlcReaderTest, UnknownElementsDuplicatesAndPartitions) {
  ASSERT_TRUE(LoadFixture("unknown.xhlc"));
  // An entry without a name is skipped; unknown elements change nothing.
  EXPECT_EQ(FileNames(), (Strings{Absolute(m_dir / "a.vhd")}));
  // The later of two entries wins, its lock included; an unknown property is dropped.
  EXPECT_EQ(Property("PROP_DevSpeed"), "-3");
  AutoRelease<Prjrep::IStringSet> names;
  ASSERT_TRUE(m_reader->GetPropertyNames(names.Receive()));
  EXPECT_EQ(SetContents(names.Get()), (Strings{"Nobody Knows Me", "Speed Grade"}));
  Port_MsgManData::ClearCaptured();
  m_reader->ReadPartitions();
  int warnings = 0;
  for (const auto& record : Port_MsgManData::Captured())
    warnings += record.severity == Severity::Warning && record.text.find("Partitions") != std::string::npos;
  EXPECT_EQ(warnings, 1);
}

// An older build listed a file again by its name through a link to the project's folder, in
// another library, and the project's own file by a link to it: the file is held once, as its
// first entry has it, the project not at all, and the open says which entries it left out and
// why, read from the document or from the entries taken at the parse. With the older storage,
// the project's repository is its own file too.
TEST_F(XhlcReaderTest, AFileListedTwiceIsHeldOnceAndTheOpenSaysWhichEntryWentOut) {
  ASSERT_EQ(setenv("VEL_CORVANE_ENABLE_HLC", "1", 1), 0);
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  fs::create_directory_symlink(m_dir, m_root / "ln");
  fs::create_symlink(m_file.filename(), m_dir / "alias.xhlc");
  WriteText(m_file,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
            "  <version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"13.0\"/>\n  <files>\n"
            "    <file vel_kv:name=\"a.vhd\" vel_kv:type=\"FILE_VHDL\"><library vel_kv:name=\"liba\"/></file>\n"
            "    <file vel_kv:name=\"../ln/a.vhd\" vel_kv:type=\"FILE_VHDL\"><library vel_kv:name=\"libb\"/></file>\n"
            "    <file vel_kv:name=\"alias.xhlc\" vel_kv:type=\"FILE_XHLC\"/>\n"
            "    <file vel_kv:name=\"p.hlc\" vel_kv:type=\"FILE_HLC\"/>\n"
            "  </files>\n  <libraries><library vel_kv:name=\"liba\"/><library vel_kv:name=\"libb\"/></libraries>\n"
            "</project>\n");
  for (const bool diverted : {false, true}) {
    Close();
    Port_MsgManData::ClearCaptured();
    m_divertFiles = diverted;
    ASSERT_TRUE(Load(m_file));
    EXPECT_EQ(FileNames(), (Strings{Absolute(m_dir / "a.vhd")})) << diverted;
    EXPECT_EQ(LibraryOf(File(m_dir / "a.vhd")), "liba") << diverted;
    int warnings = 0;
    for (const auto& record : Port_MsgManData::Captured()) warnings += record.severity == Severity::Warning;
    EXPECT_EQ(warnings, 3) << diverted;
    EXPECT_TRUE(Captured(Severity::Warning, "lists the file \"" + Absolute(m_dir / "a.vhd") +
                                                "\" twice: as \"a.vhd\", and as \"../ln/a.vhd\" in the library "
                                                "\"libb\".\nA project holds a file once, so the entry "
                                                "\"../ln/a.vhd\" is left out: the file stays in the library "
                                                "\"liba\""))
        << diverted;
    EXPECT_TRUE(Captured(Severity::Warning, "names \"" + Absolute(m_dir) + "/alias.xhlc" +
                                                "\", which the project cannot hold: it is the project's own file.\n"
                                                "The entry is left out, and the next save does not write it."))
        << diverted;
    EXPECT_TRUE(Captured(Severity::Warning, "\"" + Absolute(m_dir) + "/p.hlc\", which the project cannot hold: it is "
                                                "the project's own file."))
        << diverted;
  }
  // One the project refuses for a reason of its own (it is read-only) is named with that said.
  Close();
  m_readOnly = true;
  ASSERT_TRUE(Load(m_file));
  EXPECT_EQ(FileNames(), Strings{});
  EXPECT_TRUE(Captured(Severity::Warning, "names \"" + Absolute(m_dir / "a.vhd") +
                                              "\", which the project cannot hold: the project refused it.\n"
                                              "The entry is left out, and the next save does not write it."));
  unsetenv("VEL_CORVANE_ENABLE_HLC");
}

TEST_F(XhlcReaderTest, FileSetFormOfSchemaOne) {
  ASSERT_TRUE(LoadFixture("fileset.xhlc"));
  Text version;
  ASSERT_EQ(m_reader->GetSchemaVersion(&version), Hvd::kSuccess);
  EXPECT_EQ(version.str(), "1");
  Hvd::IHdlFile* a = File(m_dir / "a.vhd");
  Hvd::IHdlFile* b = File(m_dir / "b.vhd");
  Hvd::IHdlFile* c = File(m_dir / "c.vhd");
  Hvd::IHdlFile* child = File(m_root / "child/child.xhlc");
  ASSERT_TRUE(a && b && c && child) << ::testing::PrintToString(FileNames());
  // Numbered in order under the implementation target; the file out of the order takes 0 and
  // no number; the child project, listed first, is numbered last.
  EXPECT_EQ(SequenceId(a, 2), 1U);
  EXPECT_EQ(SequenceId(b, 2), 0U);
  EXPECT_EQ(SequenceId(c, 2), 2U);
  EXPECT_EQ(SequenceId(child, 2), 3U);
  EXPECT_EQ(SequenceId(File(m_dir / "tb.vhd"), 1), 1U);
  bool global = false;
  EXPECT_TRUE(AutoCast<Hvd::IHdlFileV3>(c)->GetGlobalInclude(&global) == Hvd::kSuccess && global);
  EXPECT_EQ(LibraryOf(a), "lib_a");
  EXPECT_EQ(LibraryOf(c), "work");
  EXPECT_TRUE(Captured(Severity::Debug, "CXMLReader::HandleFile forcing"));
  // A fileSet in the component namespace is not part of this form.
  EXPECT_EQ(File(m_dir / "hidden.vhd"), nullptr);
  EXPECT_EQ(Property("PROP_DevFamily"), "Pellis CPLD");
}

TEST_F(XhlcReaderTest, ComponentFormOfSchemaZero) {
  ASSERT_TRUE(LoadFixture("component.xhlc"));
  Text version;
  ASSERT_EQ(m_reader->GetSchemaVersion(&version), Hvd::kSuccess);
  EXPECT_EQ(version.str(), "0");
  EXPECT_EQ(SequenceId(File(m_dir / "impl1.vhd"), 2), 1U);
  EXPECT_EQ(SequenceId(File(m_dir / "impl2.vhd"), 2), 2U);
  EXPECT_EQ(SequenceId(File(m_dir / "sim1.vhd"), 1), 1U);
  EXPECT_EQ(SequenceId(File(m_dir / "sim2.vhd"), 1), 2U);
  EXPECT_EQ(Property("PROP_DevSpeed"), "-3");
  AutoRelease<Prjrep::IStringSet> branch;
  ASSERT_TRUE(m_reader->GetBranchFiles(2, branch.Receive()));
  EXPECT_EQ(SetContents(branch.Get()), (Strings{Absolute(m_dir / "impl1.vhd"), Absolute(m_dir / "impl2.vhd")}));
}

TEST_F(XhlcReaderTest, BrokenAndHostileFilesAreRefusedWithAMessage) {
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<a>";
  std::string wide = "<project xmlns=\"http://www.velmor.com/XMLSchema\"";
  for (int i = 0; i < 2000; ++i) wide += " a" + std::to_string(i) + "=\"x\"";
  WriteText(m_root / "deep.xhlc", "<project>" + deep + "</project>");
  WriteText(m_root / "wide.xhlc", wide + "/>");
  for (const fs::path& file : {kData / "truncated.xhlc", kData / "notxml.xhlc", kData / "entity.xhlc",
                               m_root / "deep.xhlc", m_root / "wide.xhlc"}) {
    SCOPED_TRACE(file.string());
    const std::string before = ReadText(file);
    Port_MsgManData::ClearCaptured();
    EXPECT_FALSE(Load(file));
    EXPECT_TRUE(Captured(Severity::Error, "while parsing file"));
    EXPECT_EQ(m_reader->GetDocument(), nullptr);
    EXPECT_TRUE(FileNames().empty());
    EXPECT_EQ(ReadText(file), before);
    Close();
  }
  // A file of a later schema parses, but the project does not accept its version.
  EXPECT_FALSE(Load(kData / "newer.xhlc"));
  Text version;
  ASSERT_EQ(m_reader->GetSchemaVersion(&version), Hvd::kSuccess);
  EXPECT_EQ(version.str(), "3");
  EXPECT_TRUE(FileNames().empty());
  // A missing file is not parsed and says nothing.
  Close();
  Port_MsgManData::ClearCaptured();
  EXPECT_FALSE(Load(m_root / "missing.xhlc"));
  EXPECT_FALSE(Captured(Severity::Error, "while parsing"));
}

TEST_F(XhlcReaderTest, PropertyMigrationsAndLookups) {
  const std::string head =
      "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">"
      "<version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/><properties>";
  // A family unknown to the device store is found by its PM name; a retired simulator is
  // replaced, and the user told once.
  WriteText(m_file, head +
                        "<property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta Old\"/>"
                        "<property vel_kv:name=\"PROP_DevFamilyPMName\" vel_kv:value=\"ORVANTA\"/>"
                        "<property vel_kv:name=\"Simulator\" vel_kv:value=\"modelsim-zv vhdl\"/>"
                        "<property vel_kv:name=\"Working Directory\" vel_kv:value=\"out\"/>"
                        "<property vel_kv:name=\"Implementation Top\" vel_kv:value=\"top\"/>"
                        "</properties></project>");
  std::ignore = InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr);
  ASSERT_TRUE(Load(m_file));
  Text family;
  EXPECT_TRUE(m_reader->GetPropertyValue("PROP_DevFamily", &family));
  EXPECT_EQ(family.str(), "Orvanta");
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
  EXPECT_EQ(Property("PROP_Simulator"), "Ovra (VHDL/Verilog)");
  Text shown;
  ASSERT_EQ(InterpHelp::RunCmd("llength $::velmor::Hvd::shown", nullptr, false, &shown), Hvd::kSuccess);
  EXPECT_EQ(shown.str(), "1");
  ASSERT_EQ(InterpHelp::RunCmd("lindex $::velmor::Hvd::shown 0 0", nullptr, false, &shown), Hvd::kSuccess);
  EXPECT_EQ(shown.str().rfind("ModelSim Velmor Edition III is no longer supported", 0), 0U) << shown.str();

  // The implementation top reaches the synthesis view.
  AutoRelease<Hvd::IViewIterator> synthesis;
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(m_design.Get())->FindViewByHint("SynthesisOnly", synthesis.Receive()),
            Hvd::kSuccess);
  EXPECT_EQ(Hvd::GetKeyedPropertyValue(synthesis->Current(), "TOPDESIGNUNIT").str(), "top");

  ::setenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR", "1", 1);
  Text directory;
  EXPECT_TRUE(m_reader->GetPropertyValue("PROP_WorkingDirectory", &directory));
  ::unsetenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR");
  EXPECT_EQ(directory.str(), "out");
  EXPECT_FALSE(m_reader->GetPropertyValue("PROP_NotThere", &directory));
  EXPECT_TRUE(directory.empty());

  // A reader that parsed nothing answers nothing and applies nothing.
  CXMLReader empty(m_project.Get());
  EXPECT_FALSE(empty.GetPropertyValue("PROP_DevFamily", &family));
  empty.ApplyProperties();
  empty.ReadFiles();
  AutoRelease<Prjrep::IStringSet> names;
  EXPECT_FALSE(empty.GetBranchFiles(1, names.Receive()));
  ASSERT_TRUE(empty.GetPropertyNames(names.ReleaseAndReceive()));
  EXPECT_TRUE(SetContents(names.Get()).empty());
}

TEST_F(XhlcReaderTest, ProjectGenerator) {
  WriteText(m_root / "a.xhlc",
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">"
            "<properties><property vel_kv:name=\"Project Generator\" vel_kv:value=\"Moldrix\"/></properties>"
            "</project>");
  WriteText(m_root / "b.xhlc", "<project xmlns=\"http://www.velmor.com/XMLSchema\"/>");
  EXPECT_EQ(Hvd::ProjectGeneratorOfFile((m_root / "a.xhlc").c_str()).str(), "Moldrix");
  EXPECT_EQ(Hvd::ProjectGeneratorOfFile((m_root / "b.xhlc").c_str()).str(), "Corvane");
  EXPECT_EQ(Hvd::ProjectGeneratorOfFile((m_root / "missing.hlc").c_str()).str(), "TarvisDSP");
  OpenEmpty(m_root / "a.xhlc");
  EXPECT_EQ(Hvd::DetectProjectGenerator(m_project.Get()).str(), "Moldrix");
  EXPECT_EQ(Hvd::DetectProjectGenerator(nullptr).str(), "TarvisDSP");
}

// The reader looks sections up in an index of its document; an edit made through the document it
// hands out must be what the next look-up sees, and the index must list what a walk lists.
TEST_F(XhlcReaderTest, LookUpsFollowTheDocumentAsEditedThroughTheReader) {
  WriteText(m_file,
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\" "
            "xmlns:o=\"urn:other\"><version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/>"
            "<files><file vel_kv:name=\"a.vhd\"><property vel_kv:name=\"inner\" vel_kv:value=\"1\"/></file>"
            "<o:property vel_kv:name=\"Other\" vel_kv:value=\"x\"/></files>"
            "<properties><property vel_kv:name=\"Device\" vel_kv:value=\"OV250\"/></properties></project>");
  CXMLReader reader;
  ASSERT_TRUE(reader.ParseFile(m_file.c_str()));
  reader.ReadVersion();
  Text value;
  ASSERT_TRUE(reader.GetPropertyValue("Device", &value));
  EXPECT_EQ(value.str(), "OV250");
  // Nested, and in another namespace: as the walk finds them.
  EXPECT_TRUE(reader.GetPropertyValue("inner", &value));
  EXPECT_FALSE(reader.GetPropertyValue("Other", &value));

  xercesc::DOMDocument* document = reader.GetDocument();
  const XMLCh* uri = u"http://www.velmor.com/XMLSchema";
  const Hvd::ElementIndex index(document);
  for (const XMLCh* name : {u"property", u"file", u"files", u"version", u"project", u"missing"}) {
    EXPECT_EQ(index.Named(uri, name), Hvd::ElementsNamed(document, uri, name));
  }
  EXPECT_EQ(index.Named(u"urn:other", u"property"), Hvd::ElementsNamed(document, u"urn:other", u"property"));
  EXPECT_EQ(index.Named(u"urn:other", u"property").size(), 1U);

  // An edit through the handed-out document: a changed value, a property taken out, another
  // one added.
  std::vector<xercesc::DOMElement*> properties = Hvd::ElementsNamed(document, uri, u"property");
  ASSERT_EQ(properties.size(), 2U);
  properties[1]->setAttributeNS(uri, u"vel_kv:value", u"OV500");
  properties[0]->getParentNode()->removeChild(properties[0])->release();
  xercesc::DOMElement* added = document->createElementNS(uri, u"property");
  added->setAttributeNS(uri, u"vel_kv:name", u"Speed");
  added->setAttributeNS(uri, u"vel_kv:value", u"-3");
  properties[1]->getParentNode()->appendChild(added);
  reader.ReadProperties();
  EXPECT_TRUE(reader.GetPropertyValue("Device", &value));
  EXPECT_EQ(value.str(), "OV500");
  EXPECT_TRUE(reader.GetPropertyValue("Speed", &value));
  EXPECT_EQ(value.str(), "-3");

  // The version element replaced by one elsewhere in the document.
  EXPECT_EQ(reader.GetProductVersion().str(), "14.1");
  xercesc::DOMElement* version = Hvd::ElementsNamed(reader.GetDocument(), uri, u"version").front();
  xercesc::DOMElement* moved = static_cast<xercesc::DOMElement*>(version->cloneNode(true));
  moved->setAttributeNS(uri, u"vel_kv:hlc_version", u"15.2");
  version->getParentNode()->removeChild(version)->release();
  added->getParentNode()->appendChild(moved);
  reader.ReadVersion();
  EXPECT_EQ(reader.GetProductVersion().str(), "15.2");

  // Handed to another reader with its index, the document answers there as it did here.
  CXMLReader other;
  ASSERT_TRUE(other.AdoptDocument(m_file.c_str(), reader.TakeDocument(), {}, reader.TakeIndex()));
  other.ReadVersion();
  EXPECT_EQ(other.GetProductVersion().str(), "15.2");
  EXPECT_TRUE(other.GetPropertyValue("Speed", &value));
  EXPECT_EQ(value.str(), "-3");
}

}  // namespace
}  // namespace xhlc_test
