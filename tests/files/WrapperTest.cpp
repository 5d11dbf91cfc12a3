// The HDL package wrapper over the parser component, loaded by name: a view's files mirrored
// into the parser project, rebuilt only on change, and the compile order mapped back to them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/IFile.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "files/wrapper/CHdlPackageWrapper.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace fs = std::filesystem;

class CFakeType final : public TComponent<CFakeType> {
 public:
  explicit CFakeType(std::string name) : m_name(std::move(name)) {}
  auto QueryTable() {
    return Table(Row<IFileType>(&m_XIFileType), Row<IDefDataId>(&m_XIDefDataId), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIFileType));
  }

 private:
  struct XIFileType : TNested<CFakeType, IFileType> {
    using TNested::TNested;
    Status GetDesignUnitTypeIds(IDefDataIdIterator**) override { return kNotSupported; }
    Status GetPlugInKey(Text* key) override { return *key = "HDL", kSuccess; }
  } m_XIFileType{this};
  struct XIDefDataId : TNested<CFakeType, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Text* name) override { return *name = This().m_name, kSuccess; }
  } m_XIDefDataId{this};
  Prjrep::TRefCountHelper<CFakeType> m_refCount{this};
  std::string m_name;
};

// A view's source file: path, type, time stamp, global-include flag and sequence id.
class CViewFile final : public TComponent<CViewFile> {
 public:
  CViewFile(const fs::path& path, const char* type)
      : m_path(path), m_type(AutoRelease<CitI::IInterface>(new CFakeType(type))) {}
  auto QueryTable() {
    return Table(Row<IHdlFile>(&m_XIHdlFile), Row<IFile>(&m_XIFile), Row<Prjrep::ITimestamp>(&m_XITimestamp),
                 Row<IHdlFileV3>(&m_XIHdlFileV3), Row<ISourceLibraryMember>(&m_XIMember),
                 Row<ICompileOrder>(&m_XICompileOrder), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIHdlFile));
  }
  std::int64_t seconds = 1;
  bool globalInclude = false;
  std::uint64_t sequence = 0;

 private:
  struct XIHdlFile : TNested<CViewFile, IHdlFile> {
    using TNested::TNested;
    Status CheckFileOnDisk() override { return kSuccess; }
    Status SetModified(bool) override { return kSuccess; }
    Status ReservedOperation4(CitI::IInterface**) override { return kNotSupported; }
    Status SetPath(const Text&, const Text&) override { return kNotSupported; }
    Status GetPath(Text* directory, Text* name) override {
      *directory = This().m_path.parent_path().string() + "/";
      *name = This().m_path.filename().string();
      return kSuccess;
    }
    Status GetDesignUnits(IHdlParserConfig*, IHdlDesignUnitIterator**) override { return kNotSupported; }
    Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface**) override {
      return kNotSupported;
    }
    Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, Text*) override { return kNotSupported; }
    Status SetParserName(const Text&) override { return kNotSupported; }
    Status GetParserName(Text* name) override { return *name = "HDL", kSuccess; }
    Status GetFileAddTarget(std::uint64_t* target) override { return *target = This().sequence, kSuccess; }
    Status GetSequenceId(std::uint64_t* id) override { return *id = This().sequence, kSuccess; }
    Status SetSequenceId(std::uint64_t) override { return kNotSupported; }
    Status IsModified(bool* modified) override { return *modified = false, kSuccess; }
  } m_XIHdlFile{this};
  struct XIFile : TNested<CViewFile, IFile> {
    using TNested::TNested;
    Status GetFileType(IFileType** type) override {
      return Prjrep::AutoOut<IFileType>(type).Assign(This().m_type), kSuccess;
    }
    Status GetFileFlag(bool*) override { return kNotSupported; }
    Status SetFileFlag(bool) override { return kNotSupported; }
    Status GetOriginState(std::uint32_t* state) override { return *state = 0, kSuccess; }
    Status SetOriginState(std::uint32_t) override { return kNotSupported; }
  } m_XIFile{this};
  struct XITimestamp : TNested<CViewFile, Prjrep::ITimestamp> {
    using TNested::TNested;
    Status SetToNow() override { return kNotSupported; }
    Status SetTime(std::int64_t, std::int64_t) override { return kNotSupported; }
    Status GetTime(std::int64_t* seconds, std::int64_t* microseconds) override {
      *seconds = This().seconds, *microseconds = 0;
      return kSuccess;
    }
    Status GetTimeString(Text*) override { return kNotSupported; }
    Status Compare(Prjrep::ITimestamp*, std::int32_t*) override { return kNotSupported; }
    Status IsLaterThan(Prjrep::ITimestamp*, bool*) override { return kNotSupported; }
    Status IsEarlierThan(Prjrep::ITimestamp*, bool*) override { return kNotSupported; }
    Status Load(Prjrep::IStorage*) override { return kNotSupported; }
    Status Save(Prjrep::IStorage*) override { return kNotSupported; }
  } m_XITimestamp{this};
  struct XIHdlFileV3 : TNested<CViewFile, IHdlFileV3> {
    using TNested::TNested;
    Status SetGlobalInclude(bool flag) override { return This().globalInclude = flag, kSuccess; }
    Status GetGlobalInclude(bool* flag) override { return *flag = This().globalInclude, kSuccess; }
  } m_XIHdlFileV3{this};
  struct XIMember : TNested<CViewFile, ISourceLibraryMember> {
    using TNested::TNested;
    Status GetLibrary(ISourceLibrary** library) override { return *library = nullptr, kSuccess; }
    Status SetLibrary(ISourceLibrary*) override { return kNotSupported; }
  } m_XIMember{this};
  struct XICompileOrder : TNested<CViewFile, ICompileOrder> {
    using TNested::TNested;
    Status SetSequenceID(std::uint32_t, std::uint64_t) override { return kNotSupported; }
    Status GetSequenceID(std::uint32_t, std::uint64_t* value) override { return *value = This().sequence, kSuccess; }
  } m_XICompileOrder{this};
  Prjrep::TRefCountHelper<CViewFile> m_refCount{this};
  fs::path m_path;
  AutoPtr<CitI::IInterface> m_type;
};

class CProperty final : public TComponent<CProperty> {
 public:
  auto QueryTable() {
    return Table(Row<IPropertyInstance>(&m_XIPropertyInstance), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(&m_XIPropertyInstance));
  }
  std::string value = "1";

 private:
  struct XIPropertyInstance : TNested<CProperty, IPropertyInstance> {
    using TNested::TNested;
    Status GetName(Text* name) override { return *name = "Setting", kSuccess; }
    Status GetValue(Text* value) override { return *value = This().value, kSuccess; }
    Status SetValue(const Text& value) override { return This().value = value.str(), kSuccess; }
    Status GetTemplate(IPropertyTemplate**) override { return kNotSupported; }
    Status IsDefault(bool* isDefault) override { return *isDefault = false, kSuccess; }
  } m_XIPropertyInstance{this};
  Prjrep::TRefCountHelper<CProperty> m_refCount{this};
};

using FileList = TRefdSequenceSetHelper<IFile*, IFileSet, IFileIterator, std::vector<IFile*>>;
using PropertyList = TRefdSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                            std::vector<IPropertyInstance*>>;

class WrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    dir = fs::path(::testing::TempDir()) /
          ("wrapper_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    Write("top.vhd",
          "entity top is end entity;\n"
          "architecture rtl of top is\n  component leaf\n    port (a : in bit);\n  end component;\n"
          "begin\n  u_leaf : leaf port map (a => '0');\nend architecture;\n");
    Write("leaf.v", "module leaf (input a);\nendmodule\n");
    Write("defs.v", "`define WIDTH 4\n");
    top = Add("top.vhd", "FILE_VHDL");
    leaf = Add("leaf.v", "FILE_VERILOG");
    defs = Add("defs.v", "FILE_VERILOG");
    wrapper = std::make_unique<CHdlPackageWrapper>();
    ASSERT_NE(wrapper->ParserProject(), nullptr);
    Hand();
  }
  void TearDown() override {
    wrapper.reset();
    files.clear();
    fs::remove_all(dir);
    CitP::Factory::Shutdown();
  }

  void Write(const char* name, const char* text) { std::ofstream(dir / name) << text; }
  CViewFile* Add(const char* name, const char* type) {
    auto* made = new CViewFile(dir / name, type);
    files.emplace_back(made, AutoPtr<IFile>(AutoRelease<IFile>(made)));
    return made;
  }
  // The view's hand-over: its files, then its properties.
  void Hand(std::vector<CViewFile*> only = {}) {
    AutoRelease<IFileSet> set(new FileList());
    for (const auto& [raw, file] : files) {
      if (only.empty() || std::count(only.begin(), only.end(), raw) > 0) std::ignore = set->Add(file.Get());
    }
    AutoRelease<IFileIterator> it;
    ASSERT_EQ(set->GetIterator(it.Receive()), kSuccess);
    ASSERT_EQ(wrapper->SetViewFiles(it), kSuccess);
    AutoRelease<IPropertyInstanceSet> properties(new PropertyList());
    std::ignore = properties->Add(AutoCast<IPropertyInstance>(property.Get()));
    AutoRelease<IPropertyInstanceIterator> pit;
    ASSERT_EQ(properties->GetIterator(pit.Receive()), kSuccess);
    ASSERT_EQ(wrapper->SetViewProperties(pit), kSuccess);
  }
  // Instance names of the graph below `node`, depth first.
  static void Names(IHdlNetListNode* node, std::set<std::string>* out) {
    Text name;
    if (node->GetInstanceName(&name) == kSuccess && !name.empty()) out->insert(name.str());
    AutoRelease<IHdlNetListNodeIterator> children;
    if (node->GetChildren(children.Receive()) != kSuccess || !children) return;
    for (std::ignore = children->First(); !children->IsDone(); std::ignore = children->Next())
      Names(AutoCast<IHdlNetListNode>(children->CurrentItem()), out);
  }
  std::set<std::string> Hierarchy(bool expectRebuilt) {
    AutoRelease<IHdlNetListNode> node;
    bool rebuilt = !expectRebuilt;
    EXPECT_EQ(wrapper->GetHierarchy(node.Receive(), &rebuilt), kSuccess);
    EXPECT_EQ(rebuilt, expectRebuilt);
    std::set<std::string> names;
    if (node) Names(node, &names);
    return names;
  }
  std::vector<std::string> Order(CitI::IInterface* component, bool onlyHdl) {
    AutoRelease<IHdlFileIterator> it;
    EXPECT_EQ(wrapper->CreateCompileOrder(component, 0, onlyHdl, it.Receive()), kSuccess);
    std::vector<std::string> names;
    for (; it && !it->IsDone(); std::ignore = it->Next()) {
      Text directory, name;
      std::ignore = it->Current()->GetPath(&directory, &name);
      names.push_back(name.str());
    }
    return names;
  }
  size_t ParserFileCount() {
    AutoCast<IHdlFileSet> set(wrapper->ParserProject());
    return set ? set->Size() : 0;
  }

  fs::path dir;
  std::vector<std::pair<CViewFile*, AutoPtr<IFile>>> files;
  CViewFile *top = nullptr, *leaf = nullptr, *defs = nullptr;
  AutoPtr<CitI::IInterface> property{AutoRelease<CitI::IInterface>(new CProperty())};
  std::unique_ptr<CHdlPackageWrapper> wrapper;
};

TEST_F(WrapperTest, MirrorsTheViewAndRebuildsOnlyOnChange) {
  EXPECT_EQ(Hierarchy(true), (std::set<std::string>{"top", "u_leaf"}));
  EXPECT_EQ(ParserFileCount(), 3u);
  EXPECT_TRUE(Hierarchy(false).count("u_leaf"));  // nothing changed: no rebuild
  ASSERT_EQ(AutoCast<IPropertyInstance>(property.Get())->SetValue("2"), kSuccess);
  std::ignore = Hierarchy(true);
  std::ignore = Hierarchy(false);

  // The parser's order, mapped back to the view's own files; the Verilog module comes first.
  std::vector<std::string> order = Order(nullptr, false);
  ASSERT_EQ(order.size(), 3u);
  EXPECT_LT(std::find(order.begin(), order.end(), "leaf.v"), std::find(order.begin(), order.end(), "top.vhd"));
  // For a file, the order of what its unit needs.
  order = Order(static_cast<CitI::IInterface*>(files[1].second.Get()), true);
  EXPECT_EQ(order, std::vector<std::string>{"leaf.v"});
}

TEST_F(WrapperTest, GlobalIncludesLeadTheCompileOrderLargestIdFirst) {
  CViewFile* second = Add("more.v", "FILE_VERILOG");
  Write("more.v", "`define DEPTH 2\n");
  defs->globalInclude = true, defs->sequence = 3;
  second->globalInclude = true, second->sequence = 7;
  Hand();
  const std::vector<std::string> order = Order(nullptr, false);
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order[0], "more.v");
  EXPECT_EQ(order[1], "defs.v");
  EXPECT_EQ(order[2], "leaf.v");
  EXPECT_EQ(order[3], "top.vhd");
}

TEST_F(WrapperTest, ChangedFileIsRescannedAndRemovedFileLeavesTheParser) {
  std::ignore = Hierarchy(true);
  Write("leaf.v", "module sub;\nendmodule\nmodule leaf;\n  sub u_sub ();\nendmodule\n");
  leaf->seconds = 2;  // the view saw the file change on disk
  EXPECT_TRUE(Hierarchy(true).count("u_sub"));
  EXPECT_TRUE(Hierarchy(false).count("u_sub"));

  Hand({top, leaf});
  std::ignore = Hierarchy(true);
  EXPECT_EQ(ParserFileCount(), 2u);
  EXPECT_EQ(Order(nullptr, false).size(), 2u);
}

TEST_F(WrapperTest, RemovesTheParserMessageFileWithoutThrowing) {
  ASSERT_EQ(wrapper->SetWorkingDirectory((dir / "work").string()), kSuccess);
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kSuccess);  // no working directory yet
  fs::create_directories(dir / "work");
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kSuccess);  // no message directory
  fs::create_directories(dir / "work" / "_vmsgs");
  std::ofstream(dir / "work" / "_vmsgs" / "kv_parser.vmsgs") << "x";
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kSuccess);
  EXPECT_FALSE(fs::exists(dir / "work" / "_vmsgs" / "kv_parser.vmsgs"));
  fs::create_directories(dir / "work" / "_vmsgs" / "kv_parser.vmsgs");
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kFailure);  // a directory is not deleted
  ASSERT_EQ(wrapper->SetWorkingDirectory(""), kSuccess);
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kFailure);
}

}  // namespace
