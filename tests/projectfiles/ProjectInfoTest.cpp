// The project information component on project source files that no project has open: what it
// reads, what it edits and writes back, the template, the configuration directory, and files
// that are broken or hostile.

#include <algorithm>

#include "Hvd/IProjectInfo.h"
#include "Port/FaultInjection.h"
#include "Port/Version.h"
#include "XhlcProject.h"
#include "projectfiles/projectinfo/CProjectInfo.h"

namespace xhlc_test {
namespace {

using Severity = Port_MsgManData::Severity;

std::string Absolute(const fs::path& path) { return fs::weakly_canonical(path).string(); }

Strings Contents(Prjrep::IStringSet* set) {
  Strings names;
  AutoRelease<Prjrep::IStringIterator> at;
  if (set == nullptr || set->GetIterator(at.Receive()) != Hvd::kSuccess) return names;
  for (; at && !at->IsDone(); std::ignore = at->Next()) names.push_back(at->Current().str());
  return names;
}

Strings Names(const fs::path& dir) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  return names;
}

bool CapturedAny(const std::string& part) {
  for (const auto& record : Port_MsgManData::Captured()) {
    if (record.text.find(part) != std::string::npos) return true;
  }
  return false;
}

class ProjectInfoTest : public XhlcProject {
 protected:
  AutoRelease<Hvd::IProjectInfo> NewInfo() {
    AutoRelease<Hvd::IProjectInfo> info(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectInfo()));
    EXPECT_TRUE(info);
    return info;
  }
  AutoRelease<Hvd::IProjectInfo> Read(const fs::path& file) {
    AutoRelease<Hvd::IProjectInfo> info = NewInfo();
    EXPECT_EQ(info->ReadProjectData(file.c_str()), Hvd::kSuccess) << file;
    return info;
  }
  static Strings Files(Hvd::IProjectInfo* info, const char* type) {
    Strings names;
    AutoRelease<Prjrep::IStringIterator> at;
    if (info->GetFileList(type, at.Receive()) != Hvd::kSuccess) return names;
    for (; at && !at->IsDone(); std::ignore = at->Next()) names.push_back(at->Current().str());
    return names;
  }
  static Strings Branch(Hvd::IProjectInfo* info, std::uint32_t index) {
    AutoRelease<Prjrep::IStringSet> set;
    EXPECT_EQ(info->GetFilesOfBranch(index, set.Receive()), Hvd::kSuccess);
    return Contents(set.Get());
  }
  static Strings Libraries(Hvd::IProjectInfo* info) {
    AutoRelease<Prjrep::IStringSet> set;
    EXPECT_EQ(info->GetLibraryNames(set.Receive()), Hvd::kSuccess);
    return Contents(set.Get());
  }
  static std::string Value(Hvd::IProjectInfo* info, const char* name) {
    AutoRelease<Hvd::IPropertyInstance> property;
    Text value;
    if (info->GetProperty(name, property.Receive()) != Hvd::kSuccess || !property) return "<none>";
    std::ignore = property->GetValue(&value);
    return value.str();
  }
  static std::string Library(Hvd::IProjectInfo* info, const std::string& file) {
    Text library;
    if (info->GetFileLibrary(file.c_str(), &library) != Hvd::kSuccess) return "<unlisted>";
    return library.str();
  }
  std::string In(const char* name) const { return Absolute(m_dir / name); }
};

TEST_F(ProjectInfoTest, AnswersWhatTheFileSays) {
  fs::copy_file(kData / "full.xhlc", m_file);
  // Any extension given is read as the project source file's.
  AutoRelease<Hvd::IProjectInfo> info = Read(m_dir / "p.xml");
  EXPECT_TRUE(CapturedAny("ReadProjectData reading from " + m_file.string()));
  Text version;
  ASSERT_EQ(info->GetHlcVersion(&version), Hvd::kSuccess);
  EXPECT_EQ(version.str(), "14.1");

  // Properties by their stored name or by the name the label stands for; read-only instances.
  EXPECT_EQ(Value(info.Get(), "Device Family"), "Orvanta");
  EXPECT_EQ(Value(info.Get(), "PROP_DevFamily"), "Orvanta");
  EXPECT_EQ(Value(info.Get(), "PROP_AutoCompileOrderImp"), "false");
  EXPECT_EQ(Value(info.Get(), "PROP_NotThere"), "<none>");
  AutoRelease<Hvd::IPropertyInstance> device;
  ASSERT_EQ(info->GetProperty("Device", device.Receive()), Hvd::kSuccess);
  EXPECT_EQ(device->SetValue("OV1"), Hvd::kNotSupported);
  EXPECT_EQ(Value(info.Get(), "Device"), "OV250");
  EXPECT_NE(device->QueryInterface(Prjrep::IRefCount::GetIID()), nullptr);
  EXPECT_EQ(device->QueryInterface(Hvd::IPropertyInstanceSet::GetIID()), nullptr);
  AutoRelease<Hvd::IPropertyInstanceSet> all;
  ASSERT_EQ(info->GetAllProperties(all.Receive()), Hvd::kSuccess);
  EXPECT_EQ(all->Size(), 11U);
  EXPECT_EQ(all->QueryInterface(Hvd::IPropertyInstance::GetIID()), nullptr);

  // Files: all of them once, sorted; by type; by branch; the ones without a branch.
  const std::string pkg = In("src/pkg.vhd"), top = In("src/top.vhd"), defs = In("inc/defs.v");
  const std::string bench = In("tb/tb_top.vhd"), core = Absolute(m_root / "ip/core/core.xhlc");
  Strings every{pkg, top, defs, bench, core};
  std::sort(every.begin(), every.end());
  EXPECT_EQ(Files(info.Get(), ""), every);
  EXPECT_EQ(Branch(info.Get(), 5), every);
  EXPECT_EQ(Files(info.Get(), "FILE_VHDL"), (Strings{pkg, top, bench}));
  EXPECT_TRUE(info->HasFiles("FILE_VERILOG"));
  EXPECT_FALSE(info->HasFiles("FILE_EDIF"));
  EXPECT_EQ(Branch(info.Get(), 0), (Strings{pkg, top, defs}));
  EXPECT_EQ(Branch(info.Get(), 1), (Strings{pkg, top, defs, bench}));
  EXPECT_EQ(Branch(info.Get(), 9), Strings{core});
  EXPECT_EQ(Branch(info.Get(), 2), Strings{});

  // Libraries, those of the files among them; the library of one file by any form of its name.
  EXPECT_EQ(Libraries(info.Get()), (Strings{"Work", "emptylib", "mylib"}));
  EXPECT_EQ(Library(info.Get(), "src/pkg.vhd"), "mylib");
  EXPECT_EQ(Library(info.Get(), top), "Work");
  EXPECT_EQ(Library(info.Get(), bench), "");
  EXPECT_EQ(Library(info.Get(), "src/none.vhd"), "<unlisted>");

  AutoRelease<Prjrep::IStringSet> records;
  ASSERT_EQ(info->GetAssociations(records.Receive()), Hvd::kSuccess);
  const Strings associations = Contents(records.Get());
  EXPECT_EQ(associations.size(), 7U);
  EXPECT_EQ(associations.front(), pkg + ",FILE_VHDL,BehavioralSimulation,,mylib");
  EXPECT_NE(std::find(associations.begin(), associations.end(), defs + ",FILE_VERILOG,Implementation,3,"),
            associations.end());
}

TEST_F(ProjectInfoTest, OlderFormsAndWhatNeedsARead) {
  fs::copy_file(kData / "fileset.xhlc", m_file);
  AutoRelease<Hvd::IProjectInfo> info = NewInfo();
  // Nothing is answered before a file was read; the outputs are cleared.
  Text version("x");
  EXPECT_EQ(info->GetHlcVersion(&version), Hvd::kFailure);
  EXPECT_TRUE(version.empty());
  AutoRelease<Prjrep::IStringIterator> files;
  EXPECT_EQ(info->GetFileList("", files.Receive()), Hvd::kFailure);
  EXPECT_FALSE(files);
  EXPECT_FALSE(info->HasFiles(""));
  EXPECT_EQ(Libraries(info.Get()), Strings{});
  EXPECT_EQ(info->SetProperty("A", "b"), Hvd::kFailure);
  EXPECT_EQ(info->WriteProjectData(m_file.c_str()), Hvd::kFailure);

  ASSERT_EQ(info->ReadProjectData(m_file.c_str()), Hvd::kSuccess);
  EXPECT_EQ(info->GetFilesOfBranch(0, nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(info->GetAllProperties(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(info->GetProperty("x", nullptr), Hvd::kInvalidParameter);
  // The file-set form: names by attribute or by child element, the SPIRIT list only without them.
  EXPECT_EQ(Files(info.Get(), ""),
            (Strings{Absolute(m_root / "child/child.hlc"), In("a.vhd"), In("b.vhd"), In("c.vhd"), In("tb.vhd")}));
  EXPECT_EQ(Value(info.Get(), "Device Family"), "Pellis CPLD");
  ASSERT_EQ(info->GetHlcVersion(&version), Hvd::kSuccess);
  EXPECT_EQ(version.str(), "10.1");

  // The next file answers for itself: a file without a version is the program's own, not the
  // earlier file's; a labelled property stored under its own name is not found, by either name.
  WriteText(m_dir / "bare.xhlc",
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">"
            "<properties><property vel_kv:name=\"PROP_DevFamily\" vel_kv:value=\"Orvanta\"/></properties></project>");
  ASSERT_EQ(info->ReadProjectData((m_dir / "bare.xhlc").c_str()), Hvd::kSuccess);
  ASSERT_EQ(info->GetHlcVersion(&version), Hvd::kSuccess);
  EXPECT_EQ(version.str(), Port::Version::getValue("version").str());
  EXPECT_EQ(Value(info.Get(), "PROP_DevFamily"), "<none>");
  EXPECT_EQ(Value(info.Get(), "Device Family"), "<none>");
  AutoRelease<Hvd::IPropertyInstanceSet> all;
  ASSERT_EQ(info->GetAllProperties(all.Receive()), Hvd::kSuccess);
  AutoRelease<Hvd::IPropertyInstanceIterator> first;
  ASSERT_EQ(all->GetIterator(first.Receive()), Hvd::kSuccess);
  Text value;
  ASSERT_EQ(first->Current()->GetValue(&value), Hvd::kSuccess);
  EXPECT_EQ(value.str(), "");
}

TEST_F(ProjectInfoTest, EditsAreWrittenWholeAndReadBack) {
  fs::copy_file(kData / "full.xhlc", m_file);
  const Stamp before = StampOf(m_file);
  AutoRelease<Hvd::IProjectInfo> info = Read(m_file);
  EXPECT_EQ(info->SetProperty("Device", "OV500"), Hvd::kSuccess);
  EXPECT_EQ(info->SetProperty("Odd <name> & \"quotes\"", "a<&>\"'b"), Hvd::kSuccess);
  EXPECT_EQ(Value(info.Get(), "Device"), "OV500");  // answers follow the edit before the write
  EXPECT_EQ(info->AddLibrary("mylib"), Hvd::kSuccess);
  EXPECT_EQ(info->AddLibrary("newlib"), Hvd::kSuccess);
  // The same file twice: one element, its first type, every association once.
  EXPECT_EQ(info->AddFile("src/new.vhd", "FILE_VHDL", "a,b", "lib1"), Hvd::kSuccess);
  EXPECT_EQ(info->AddFile("src/new.vhd", "FILE_VERILOG", "b,,c,", ""), Hvd::kSuccess);
  EXPECT_EQ(info->AddFileWithSequence("src/inc.v", "FILE_VERILOG", "Implementation", "", "7"), Hvd::kSuccess);
  EXPECT_EQ(info->AddFile("src/top.vhd", "FILE_VHDL", "Implementation", "other"), Hvd::kSuccess);
  // Nothing reaches the disk before the write, which replaces the file as a whole.
  EXPECT_EQ(StampOf(m_file), before);
  ASSERT_EQ(info->WriteProjectData(m_file.c_str()), Hvd::kSuccess);
  EXPECT_NE(StampOf(m_file).inode, before.inode);
  EXPECT_EQ(Names(m_dir), Strings{"p.xhlc"});

  AutoRelease<Hvd::IProjectInfo> again = Read(m_file);
  EXPECT_EQ(Value(again.Get(), "Device"), "OV500");
  EXPECT_EQ(Value(again.Get(), "Odd <name> & \"quotes\""), "a<&>\"'b");
  EXPECT_EQ(Value(again.Get(), "Device Family"), "Orvanta");
  EXPECT_EQ(Libraries(again.Get()), (Strings{"Work", "emptylib", "lib1", "mylib", "newlib", "other"}));
  EXPECT_EQ(Library(again.Get(), "src/new.vhd"), "lib1");
  EXPECT_EQ(Library(again.Get(), "src/top.vhd"), "other");
  EXPECT_EQ(Files(again.Get(), "FILE_VHDL").size(), 4U);
  AutoRelease<Prjrep::IStringSet> records;
  ASSERT_EQ(again->GetAssociations(records.Receive()), Hvd::kSuccess);
  Strings added;
  for (const std::string& record : Contents(records.Get())) {
    if (record.rfind(In("src/new.vhd"), 0) == 0 || record.rfind(In("src/inc.v"), 0) == 0) added.push_back(record);
  }
  EXPECT_EQ(added,
            (Strings{In("src/new.vhd") + ",FILE_VHDL,a,,lib1", In("src/new.vhd") + ",FILE_VHDL,b,,lib1",
                     In("src/new.vhd") + ",FILE_VHDL,c,,lib1", In("src/inc.v") + ",FILE_VERILOG,Implementation,7,"}));
  // The header keeps its comments, one per line.
  const std::string text = ReadText(m_file);
  EXPECT_NE(text.find("    <!-- HLC source project file created by Corvane."), std::string::npos) << text;

  // A write that fails leaves the file as it was and says so.
  {
    Port::FaultInjection::Scope scope;
    Port::FaultInjection::Fail("rename", 1, "p.xhlc");
    ASSERT_EQ(again->SetProperty("Device", "OV900"), Hvd::kSuccess);
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(again->WriteProjectData(m_file.c_str()), Hvd::kFailure);
    EXPECT_TRUE(CapturedAny("WriteProjectData"));
  }
  EXPECT_EQ(ReadText(m_file), text);
  EXPECT_EQ(Names(m_dir), Strings{"p.xhlc"});
}

TEST_F(ProjectInfoTest, EditsWithoutTheirSectionFail) {
  WriteText(m_file,
            "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">"
            "<property vel_kv:name=\"A\" vel_kv:value=\"1\"/><property vel_kv:name=\"A\" vel_kv:value=\"2\"/>"
            "</project>");
  const std::string text = ReadText(m_file);
  AutoRelease<Hvd::IProjectInfo> info = Read(m_file);
  // A listed property changes in its first element; a new one needs the properties element.
  EXPECT_EQ(info->SetProperty("A", "3"), Hvd::kSuccess);
  EXPECT_EQ(info->SetProperty("B", "1"), Hvd::kFailure);
  EXPECT_EQ(info->AddLibrary("lib"), Hvd::kFailure);
  EXPECT_EQ(info->AddFile("a.vhd", "FILE_VHDL", "Implementation", ""), Hvd::kFailure);
  // Without a header the document is not written.
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(info->WriteProjectData((m_dir / "out.xhlc").c_str()), Hvd::kFailure);
  EXPECT_TRUE(CapturedAny("no header element"));
  EXPECT_FALSE(fs::exists(m_dir / "out.xhlc"));
  EXPECT_EQ(ReadText(m_file), text);
}

TEST_F(ProjectInfoTest, NewProjectFileFromTheTemplate) {
  AutoRelease<Hvd::IProjectInfo> info = NewInfo();
  const fs::path created = m_dir / "new $[x].xhlc";
  ASSERT_EQ(info->WriteNewProjectFile(created.c_str()), Hvd::kSuccess);
  const std::string uri = "\"http://www.velmor.com/XMLSchema\"";
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
      "<project xmlns=" +
      uri + " xmlns:vel_kv=" + uri +
      ">\n\n<header>\n"
      "<!-- HLC source project file created by Corvane.             -->\n"
      "<!--                                                                   -->\n"
      "<!-- This file contains project source information including a list of -->\n"
      "<!-- project source files, project and process properties.  This file, -->\n"
      "<!-- along with the project source files, is sufficient to open and    -->\n"
      "<!-- implement in HLC Corvane.                               -->\n"
      "<!--                                                                   -->\n"
      "</header>\n\n<version vel_kv:hlc_version=\"" +
      Port::Version::getValue("version").str() +
      "\" vel_kv:schema_version=\"2\"/>\n\n<files>\n</files>\n\n<properties>\n</properties>\n\n<bindings/>\n\n"
      "<libraries/>\n\n</project>\n";
  EXPECT_EQ(ReadText(created), expected);

  // The new file is read and edited like any other.
  ASSERT_EQ(info->ReadProjectData(created.c_str()), Hvd::kSuccess);
  EXPECT_FALSE(info->HasFiles(""));
  EXPECT_EQ(info->AddFile("a.vhd", "FILE_VHDL", "Implementation", "lib"), Hvd::kSuccess);
  EXPECT_EQ(info->AddLibrary("lib"), Hvd::kSuccess);
  EXPECT_EQ(info->SetProperty("Project Generator", "Moldrix"), Hvd::kSuccess);
  ASSERT_EQ(info->WriteProjectData(created.c_str()), Hvd::kSuccess);
  AutoRelease<Hvd::IProjectInfo> again = Read(created);
  EXPECT_EQ(Files(again.Get(), ""), Strings{In("a.vhd")});
  EXPECT_EQ(Value(again.Get(), "Project Generator"), "Moldrix");
  EXPECT_EQ(Hvd::ProjectGeneratorOfFile(created.c_str()).str(), "Moldrix");

  // A file that cannot be written is reported, not answered as written.
  EXPECT_EQ(info->WriteNewProjectFile((m_root / "missing" / "x.xhlc").c_str()), Hvd::kFailure);
  EXPECT_FALSE(fs::exists(m_root / "missing"));
}

// A product version with marks that XML reserves is written escaped, and reads back as it was.
TEST_F(ProjectInfoTest, ANewProjectFileEscapesTheVersionItIsWrittenWith) {
  const Text version = Port::Version::getValue("version");
  Port::Version::setValue("version", "1.0 \"R&D\" <beta>");
  AutoRelease<Hvd::IProjectInfo> info = NewInfo();
  const Hvd::Status status = info->WriteNewProjectFile(m_file.c_str());
  Port::Version::setValue("version", version);
  ASSERT_EQ(status, Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("\n<version vel_kv:hlc_version=\"1.0 &quot;R&amp;D&quot; &lt;beta>\" "
                                  "vel_kv:schema_version=\"2\"/>\n"),
            std::string::npos)
      << ReadText(m_file);
  AutoRelease<Hvd::IProjectInfo> again = Read(m_file);
  Text read;
  ASSERT_EQ(again->GetHlcVersion(&read), Hvd::kSuccess);
  EXPECT_EQ(read.str(), "1.0 \"R&D\" <beta>");
}

// The handed-out properties are read-only pairs: they have no template and cannot tell
// whether they hold their default, and say so without leaving anything in the outputs.
TEST_F(ProjectInfoTest, AHandedOutPropertyHasNoTemplateAndNoDefault) {
  fs::copy_file(kData / "full.xhlc", m_file);
  AutoRelease<Hvd::IProjectInfo> info = Read(m_file);
  AutoRelease<Hvd::IPropertyInstance> device;
  ASSERT_EQ(info->GetProperty("Device", device.Receive()), Hvd::kSuccess);
  // Anything but null, as a caller's variable may hold before the call.
  Hvd::IPropertyTemplate* definition = reinterpret_cast<Hvd::IPropertyTemplate*>(device.Get());
  EXPECT_EQ(device->GetTemplate(&definition), Hvd::kNotSupported);
  EXPECT_EQ(definition, nullptr);
  bool isDefault = true;
  EXPECT_EQ(device->IsDefault(&isDefault), Hvd::kNotSupported);
  EXPECT_FALSE(isDefault);
  EXPECT_EQ(device->GetTemplate(nullptr), Hvd::kNotSupported);
  EXPECT_EQ(device->IsDefault(nullptr), Hvd::kNotSupported);
  EXPECT_EQ(Value(info.Get(), "Device"), "OV250");
}

TEST_F(ProjectInfoTest, BrokenAndHostileFilesAreRefused) {
  fs::copy_file(kData / "full.xhlc", m_file);
  AutoRelease<Hvd::IProjectInfo> info = Read(m_file);
  const std::string text = ReadText(m_file);
  for (const char* name : {"notxml.xhlc", "truncated.xhlc", "entity.xhlc"}) {
    fs::copy_file(kData / name, m_dir / name);
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(info->ReadProjectData((m_dir / name).c_str()), Hvd::kFailure) << name;
    EXPECT_TRUE(Captured(Severity::Error, "while parsing file")) << name;
  }
  // What was read before is neither answered nor written over another file.
  EXPECT_EQ(Value(info.Get(), "Device"), "<none>");
  EXPECT_EQ(Libraries(info.Get()), Strings{});
  EXPECT_EQ(info->SetProperty("Device", "x"), Hvd::kFailure);
  EXPECT_EQ(info->WriteProjectData((m_dir / "entity.xhlc").c_str()), Hvd::kFailure);
  EXPECT_EQ(ReadText(m_dir / "entity.xhlc"), ReadText(kData / "entity.xhlc"));

  // Nesting past the parser's bounds, and a file larger than any project source file.
  std::string deep = "<project xmlns=\"http://www.velmor.com/XMLSchema\">";
  for (int i = 0; i < 400; ++i) deep += "<a>";
  WriteText(m_dir / "deep.xhlc", deep);
  EXPECT_EQ(info->ReadProjectData((m_dir / "deep.xhlc").c_str()), Hvd::kFailure);
  { std::ofstream(m_dir / "huge.xhlc") << "<project/>"; }
  fs::resize_file(m_dir / "huge.xhlc", Hvd::CXMLReadWriter::kMaxFileBytes + 1);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(info->ReadProjectData((m_dir / "huge.xhlc").c_str()), Hvd::kFailure);
  EXPECT_TRUE(CapturedAny("is not read"));
  EXPECT_EQ(info->ReadProjectData((m_dir / "missing.xhlc").c_str()), Hvd::kFailure);

  // Text that XML cannot carry is refused before it reaches the document.
  ASSERT_EQ(info->ReadProjectData(m_file.c_str()), Hvd::kSuccess);
  EXPECT_EQ(info->SetProperty("Device", std::string("a\x01"
                                                    "b")
                                            .c_str()),
            Hvd::kFailure);
  EXPECT_EQ(info->AddFile("bad\xff.vhd", "FILE_VHDL", "Implementation", ""), Hvd::kFailure);
  EXPECT_EQ(info->AddLibrary(std::string("lib\xc0\xaf").c_str()), Hvd::kFailure);
  EXPECT_EQ(info->AddFile("", "FILE_VHDL", "", ""), Hvd::kFailure);
  EXPECT_EQ(info->AddFile("ok \xc3\xa9 $[x].vhd", "FILE_VHDL", "Implementation", ""), Hvd::kSuccess);
  ASSERT_EQ(info->WriteProjectData(m_file.c_str()), Hvd::kSuccess);
  EXPECT_EQ(Value(Read(m_file).Get(), "Device"), "OV250");
  EXPECT_NE(text, ReadText(m_file));
}

TEST_F(ProjectInfoTest, ConfigurationDirectoryAndFilterFile) {
  AutoRelease<Hvd::IProjectInfo> info = NewInfo();
  Text directory;
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(info->GetFilterFile(m_dir.c_str(), &directory), Hvd::kSuccess);
  EXPECT_EQ(directory.str(), (m_dir / "hlcconfig" / "filter.file").string());
  EXPECT_TRUE(fs::is_directory(m_dir / "hlcconfig"));
  EXPECT_FALSE(fs::exists(m_dir / "hlcconfig" / "filter.file"));
  EXPECT_TRUE(CapturedAny("IProjectInfo::GetConfigDir creating " + (m_dir / "hlcconfig").string()));
  // Found the second time; a trailing separator or backslashes name the same directory.
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(info->GetConfigDir((m_dir.string() + "/").c_str(), &directory), Hvd::kSuccess);
  EXPECT_EQ(directory.str(), (m_dir / "hlcconfig").string());
  EXPECT_FALSE(CapturedAny("creating"));
  std::string backslashed = m_dir.string();
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  ASSERT_EQ(info->GetConfigDir(backslashed.c_str(), &directory), Hvd::kSuccess);
  EXPECT_EQ(directory.str(), (m_dir / "hlcconfig").string());

  // A missing project directory, one that is a file, and a configuration entry that is not a
  // directory are failures, never exceptions.
  EXPECT_EQ(info->GetConfigDir((m_root / "none").c_str(), &directory), Hvd::kFailure);
  EXPECT_TRUE(directory.empty());
  EXPECT_TRUE(CapturedAny("IProjectInfo::GetConfigDir " + (m_root / "none").string() + " does not exist"));
  WriteText(m_root / "plain", "x");
  EXPECT_EQ(info->GetConfigDir((m_root / "plain").c_str(), &directory), Hvd::kFailure);
  fs::create_directories(m_root / "other");
  WriteText(m_root / "other" / "hlcconfig", "x");
  EXPECT_EQ(info->GetFilterFile((m_root / "other").c_str(), &directory), Hvd::kFailure);
  EXPECT_TRUE(directory.empty());
  EXPECT_EQ(info->GetConfigDir("", &directory), Hvd::kFailure);
}

}  // namespace
}  // namespace xhlc_test
