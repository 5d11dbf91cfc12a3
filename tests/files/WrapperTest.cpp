// The HDL package wrapper over the parser component, loaded by name: a view's files mirrored
// into the parser project, rebuilt only on change, and the compile order mapped back to them.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IFile.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Port/MsgMan.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "Prjrep/StandIns.h"
#include "core/Factory.h"
#include "core/Sets.h"
#include "files/wrapper/CHdlPackageWrapper.h"
#include "support/DesignDouble.h"

namespace {

using namespace Hvd;
using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace fs = std::filesystem;
constexpr Status kNo = kNotSupported;

// A view's source file, which is its own type: path, time stamp, global-include flag and sequence id.
template <class... Faces>
struct AllOf : Faces... {};
struct ViewFile : TComponent<ViewFile, AllOf<IHdlFile, IFile, Prjrep::ITimestamp, IHdlFileV3, ISourceLibraryMember,
                                             ICompileOrder, IFileType, IDefDataId>> {
  ViewFile(const fs::path& path, const char* type) : path(path), type(type) {}
  auto QueryTable() {
    return Table(Row<IHdlFile>(this), Row<IFile>(this), Row<Prjrep::ITimestamp>(this), Row<IHdlFileV3>(this),
                 Row<ISourceLibraryMember>(this), Row<ICompileOrder>(this), Row<IFileType>(this), Row<IDefDataId>(this),
                 Row<Prjrep::IRefCount>(&count), Row<CitI::IInterface>(this->AsFile()));
  }
  IHdlFile* AsFile() { return this; }
  Status GetPath(Text* directory, Text* name) override {
    *directory = path.parent_path().string() + "/", *name = path.filename().string();
    return kSuccess;
  }
  Status GetParserName(Text* name) override { return *name = "HDL", kSuccess; }
  Status GetFileAddTarget(std::uint64_t* target) override { return *target = sequence, kSuccess; }
  Status GetSequenceId(std::uint64_t* id) override { return *id = sequence, kSuccess; }
  Status GetSequenceID(std::uint32_t, std::uint64_t* id) override { return *id = sequence, kSuccess; }
  Status IsModified(bool* modified) override { return *modified = false, kSuccess; }
  Status GetFileType(IFileType** out) override {
    return Prjrep::AutoOut<IFileType>(out).Assign(static_cast<IFileType*>(this));
  }
  Status GetDefDataIdName(Text* out) override { return *out = type, kSuccess; }
  Status GetPlugInKey(Text* key) override { return *key = "HDL", kSuccess; }
  Status GetOriginState(std::uint32_t* state) override { return *state = 0, kSuccess; }
  Status GetTime(std::int64_t* s, std::int64_t* us) override { return ++stampReads, *s = seconds, *us = 0, kSuccess; }
  Status SetGlobalInclude(bool flag) override { return globalInclude = flag, kSuccess; }
  Status GetGlobalInclude(bool* flag) override { return *flag = globalInclude, kSuccess; }
  Status GetLibrary(ISourceLibrary** library) override { return *library = nullptr, kSuccess; }
  Status CheckFileOnDisk() override { return kSuccess; }
  Status SetModified(bool) override { return kSuccess; }
  // What the wrapper never asks of a view file.
  Status ReservedOperation4(CitI::IInterface**) override { return kNo; }
  Status SetPath(const Text&, const Text&) override { return kNo; }
  Status GetDesignUnits(IHdlParserConfig*, IHdlDesignUnitIterator**) override { return kNo; }
  Status ReservedOperation8(CitI::IInterface*, CitI::IInterface*, CitI::IInterface**) override { return kNo; }
  Status ReservedOperation9(CitI::IInterface*, CitI::IInterface*, Text*) override { return kNo; }
  Status SetParserName(const Text&) override { return kNo; }
  Status SetSequenceId(std::uint64_t) override { return kNo; }
  Status SetSequenceID(std::uint32_t, std::uint64_t) override { return kNo; }
  Status GetFileFlag(bool*) override { return kNo; }
  Status SetFileFlag(bool) override { return kNo; }
  Status SetOriginState(std::uint32_t) override { return kNo; }
  Status SetToNow() override { return kNo; }
  Status SetTime(std::int64_t, std::int64_t) override { return kNo; }
  Status GetTimeString(Text*) override { return kNo; }
  Status Compare(Prjrep::ITimestamp*, std::int32_t*) override { return kNo; }
  Status IsLaterThan(Prjrep::ITimestamp*, bool*) override { return kNo; }
  Status IsEarlierThan(Prjrep::ITimestamp*, bool*) override { return kNo; }
  Status Load(Prjrep::IStorage*) override { return kNo; }
  Status Save(Prjrep::IStorage*) override { return kNo; }
  Status SetLibrary(ISourceLibrary*) override { return kNo; }
  Status GetDesignUnitTypeIds(IDefDataIdIterator**) override { return kNo; }

  fs::path path;
  Text type;
  std::int64_t seconds = 1;
  int stampReads = 0;
  bool globalInclude = false;
  std::uint64_t sequence = 0;
  Prjrep::TRefCountHelper<ViewFile> count{this};
};

struct Property : TComponent<Property, IPropertyInstance> {
  auto QueryTable() {
    return Table(Row<IPropertyInstance>(this), Row<Prjrep::IRefCount>(&count), Row<CitI::IInterface>(this));
  }
  Status GetName(Text* name) override { return *name = "Setting", kSuccess; }
  Status GetValue(Text* out) override {
    if (auto read = std::exchange(onRead, nullptr)) read();  // once: the hook may read again
    return *out = value, kSuccess;
  }
  Status IsDefault(bool* out) override { return *out = false, kSuccess; }
  Status SetValue(const Text&) override { return kNo; }
  Status GetTemplate(IPropertyTemplate**) override { return kNo; }
  std::string value = "1";
  std::function<void()> onRead;  // runs inside the wrapper's hierarchy request
  Prjrep::TRefCountHelper<Property> count{this};
};

class WrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    dir = fs::path(::testing::TempDir()) /
          ("wrapper_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(dir);
    top = Add("top.vhd", "FILE_VHDL",
              "entity top is end entity;\narchitecture rtl of top is\n  component leaf\n    port (a : in bit);\n"
              "  end component;\nbegin\n  u_leaf : leaf port map (a => '0');\nend architecture;\n");
    leaf = Add("leaf.v", "FILE_VERILOG", "module leaf (input a);\nendmodule\n");
    defs = Add("defs.v", "FILE_VERILOG", "`define WIDTH 4\n");
    wrapper = std::make_unique<CHdlPackageWrapper>();
    Hand();
  }
  void TearDown() override {
    wrapper.reset();
    fs::remove_all(dir);
    CitP::Factory::Shutdown();
  }

  void Write(const char* name, const char* text) { std::ofstream(dir / name) << text; }
  ViewFile* Add(const char* name, const char* type, const char* text = nullptr) {
    if (text != nullptr) Write(name, text);
    auto* made = new ViewFile(dir / name, type);
    owned.emplace_back(AutoRelease<IHdlFile>(made->AsFile()));
    return files.emplace_back(made);
  }
  // The view's hand-over: its files (all, or only these), then its property.
  void Hand(std::vector<ViewFile*> only = {}) {
    AutoRelease<IFileSet> set(new TRefdSequenceSetHelper<IFile*, IFileSet, IFileIterator, std::vector<IFile*>>());
    for (ViewFile* file : files)
      if (only.empty() || std::count(only.begin(), only.end(), file) > 0) std::ignore = set->Add(file);
    AutoRelease<IFileIterator> it;
    ASSERT_EQ(set->GetIterator(it.Receive()), kSuccess);
    ASSERT_EQ(wrapper->SetViewFiles(it), kSuccess);
    AutoRelease<IPropertyInstanceSet> properties(
        new TRefdSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                   std::vector<IPropertyInstance*>>());
    std::ignore = properties->Add(property.Get());
    AutoRelease<IPropertyInstanceIterator> pit;
    ASSERT_EQ(properties->GetIterator(pit.Receive()), kSuccess);
    ASSERT_EQ(wrapper->SetViewProperties(pit), kSuccess);
  }
  // The instance names below the top of the hierarchy, after checking whether it was rebuilt.
  std::set<std::string> Hierarchy(bool expectRebuilt) {
    AutoRelease<IHdlNetListNode> top;
    bool rebuilt = !expectRebuilt;
    EXPECT_EQ(wrapper->GetHierarchy(top.Receive(), &rebuilt), kSuccess);
    EXPECT_EQ(rebuilt, expectRebuilt);
    std::set<std::string> names;
    auto walk = [&](auto& self, IHdlNetListNode* node) -> void {
      Text name;
      if (node->GetInstanceName(&name) == kSuccess && !name.empty()) names.insert(name.str());
      AutoRelease<IHdlNetListNodeIterator> children;
      if (node->GetChildren(children.Receive()) != kSuccess || !children) return;
      for (std::ignore = children->First(); !children->IsDone(); std::ignore = children->Next())
        self(self, AutoCast<IHdlNetListNode>(children->CurrentItem()));
    };
    if (top) walk(walk, top.Get());
    return names;
  }
  std::vector<std::string> Order(CitI::IInterface* component = nullptr, bool onlyHdl = false) {
    AutoRelease<IHdlFileIterator> it;
    EXPECT_EQ(wrapper->CreateCompileOrder(component, 0, onlyHdl, it.Receive()), kSuccess);
    std::vector<std::string> names;
    for (Text directory, name; it && !it->IsDone(); std::ignore = it->Next()) {
      std::ignore = it->Current()->GetPath(&directory, &name);
      names.push_back(name.str());
    }
    return names;
  }
  // The order a wrapper handed every file again gives: `eager` is swapped in for the question,
  // its hierarchy asked for first when `hierarchyFirst`.
  std::vector<std::string> EagerOrder(std::unique_ptr<CHdlPackageWrapper>& eager, bool hierarchyFirst) {
    std::swap(wrapper, eager);
    Hand();
    if (hierarchyFirst) {
      AutoRelease<IHdlNetListNode> top;
      EXPECT_EQ(wrapper->GetHierarchy(top.Receive(), nullptr), kSuccess);
    }
    const std::vector<std::string> order = Order();
    std::swap(wrapper, eager);
    return order;
  }

  fs::path dir;
  std::vector<AutoPtr<IHdlFile>> owned;  // the holders want a single interface root
  std::vector<ViewFile*> files;
  ViewFile *top = nullptr, *leaf = nullptr, *defs = nullptr;
  AutoPtr<Property> property{AutoRelease<Property>(new Property())};
  std::unique_ptr<CHdlPackageWrapper> wrapper;
};

TEST_F(WrapperTest, MirrorsTheViewRebuildsOnlyOnChangeAndMapsTheOrderBack) {
  EXPECT_EQ(Hierarchy(true), (std::set<std::string>{"top", "u_leaf"}));
  EXPECT_TRUE(Hierarchy(false).count("u_leaf"));  // nothing changed: no rebuild
  property->value = "2";                          // the view's property changed
  std::ignore = Hierarchy(true);
  Write("leaf.v", "module sub;\nendmodule\nmodule leaf;\n  sub u_sub ();\nendmodule\n");
  leaf->seconds = 2;  // the view saw the file change on disk
  EXPECT_TRUE(Hierarchy(true).count("u_sub"));
  EXPECT_TRUE(Hierarchy(false).count("u_sub"));

  // The parser's order, mapped back to the view's own files: global includes first, the largest
  // id leading, then the Verilog module before the VHDL that uses it.
  ViewFile* more = Add("more.v", "FILE_VERILOG", "`define DEPTH 2\n");
  defs->globalInclude = true, defs->sequence = 3;
  more->globalInclude = true, more->sequence = 7;
  Hand();
  EXPECT_EQ(Order(), (std::vector<std::string>{"more.v", "defs.v", "leaf.v", "top.vhd"}));
  EXPECT_EQ(Order(leaf->AsFile(), true), (std::vector<std::string>{"more.v", "defs.v", "leaf.v"})) << "for a file";
  Hand({top, leaf});  // files the view no longer has leave the parser
  EXPECT_EQ(Order(), (std::vector<std::string>{"leaf.v", "top.vhd"}));
}

// A request that reaches the hierarchy again while it is being built, as an event handler run
// from inside the build would, is refused with an internal error; the first request completes.
TEST_F(WrapperTest, AHierarchyRequestFromInsideTheBuildIsRefused) {
  property->value = "2";  // the next request reads the properties again
  Status nested = kSuccess;
  property->onRead = [&] {
    AutoRelease<IHdlNetListNode> inner;
    nested = wrapper->GetHierarchy(inner.Receive(), nullptr);
    EXPECT_FALSE(inner);
  };
  Port_MsgManData::ClearCaptured();
  EXPECT_TRUE(Hierarchy(true).count("u_leaf"));
  EXPECT_EQ(nested, kFailure);
  const auto messages = Port_MsgManData::Captured();
  EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const Port_MsgManData::Record& record) {
    return record.text.find("An internal error has occurred creating the design hierarchy") == 0;
  }));
  // Nothing is left held: the next request finds the hierarchy as before.
  EXPECT_TRUE(Hierarchy(false).count("u_leaf"));
}

TEST_F(WrapperTest, RemovesTheParserMessageFileWithoutThrowing) {
  const fs::path messages = dir / "work" / "_vmsgs" / "kv_parser.vmsgs";
  ASSERT_EQ(wrapper->SetWorkingDirectory((dir / "work").string()), kSuccess);
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kSuccess);  // no working directory yet
  fs::create_directories(dir / "work");
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kSuccess);  // no message directory
  fs::create_directories(messages.parent_path());
  std::ofstream(messages) << "x";
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kSuccess);
  EXPECT_FALSE(fs::exists(messages));
  fs::create_directories(messages);
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kFailure);  // a directory is not deleted
  ASSERT_EQ(wrapper->SetWorkingDirectory(""), kSuccess);
  EXPECT_EQ(CHdlPackageWrapper::RemoveParserMessageFile(), kFailure);
}

// The view's own files, typed by the base services' definition data.
class ViewFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(design->UseBaseServices() && CitP::Factory::LoadLibraryFactory("libHvd_Hdl"));
    InstFactoryEntry();
    Prjrep::RegisterComponents();
    fs::create_directories(dir);
  }
  void TearDown() override {
    for (auto& file : files) std::ignore = AutoCast<ICompAdmin>(file.Get())->Teardown();
    files.clear();
    design = nullptr;
    Prjrep::ResetNamedObjectRegistry();
    CitP::Factory::Shutdown();
    fs::remove_all(dir);
  }
  void Add(const char* name, const char* type, const char* text) {
    std::ofstream(dir / name) << text;
    AutoRelease<CitI::IInterface> found;
    ASSERT_EQ(design->store->FindDefData(type, found.Receive()), kSuccess);
    AutoRelease<IHdlFile> file(CitP::Factory::CreateInstance(ClassId::File()));
    ASSERT_EQ(AutoCast<ICompAdmin>(file.Get())->InitializeAfterCreate(design.Get(), found.Get()), kSuccess);
    ASSERT_EQ(AutoCast<Prjrep::IFileNameHelper>(file.Get())->SetPathInDirectory(name, "", dir.c_str()), kSuccess);
    ASSERT_EQ(set->Add(AutoCast<IFile>(file.Get())), kSuccess);
    files.emplace_back(std::move(file));
  }

  AutoPtr<testing_support::DesignDouble> design{
      AutoRelease<testing_support::DesignDouble>(new testing_support::DesignDouble)};
  const fs::path dir = fs::path(::testing::TempDir()) / "wrapper_view_files";
  AutoPtr<IFileSet> set{
      AutoRelease<IFileSet>(new TRefdSequenceSetHelper<IFile*, IFileSet, IFileIterator, std::vector<IFile*>>())};
  std::vector<AutoPtr<IHdlFile>> files;
};

// Every type a view holds has a parser plug-in, so a pin file goes to the parser too, which finds no
// units in it, and the view still gets its order and top.
TEST_F(ViewFilesTest, APinFileLeavesTheOrderAndTheTopAsTheyAre) {
  Add("top.vhd", "FILE_VHDL",
      "entity top is port (a : in bit); end;\narchitecture rtl of top is\n"
      "  component core port (a : in bit); end component;\nbegin\n  u_core : core port map (a);\nend;\n");
  Add("core.v", "FILE_VERILOG", "module core (input a); endmodule\n");
  Add("pins.ucf", "FILE_UCF", "NET \"a\" LOC = \"P1\";\n");
  CHdlPackageWrapper wrapper;
  AutoRelease<IFileIterator> it;
  ASSERT_TRUE(set->GetIterator(it.Receive()) == kSuccess && wrapper.SetViewFiles(it) == kSuccess);
  AutoRelease<IHdlNetListNode> root;
  ASSERT_EQ(wrapper.GetHierarchy(root.Receive(), nullptr), kSuccess);
  AutoRelease<IHdlNetListNodeIterator> tops;
  ASSERT_TRUE(root && root->GetChildren(tops.Receive()) == kSuccess && !tops->IsDone());
  Text name;
  EXPECT_TRUE(AutoCast<IHdlNetListNode>(tops->CurrentItem())->GetInstanceName(&name) == kSuccess && name == "top");
  auto order = [&](bool onlyHdl) {
    AutoRelease<IHdlFileIterator> ordered;
    EXPECT_EQ(wrapper.CreateCompileOrder(nullptr, 0, onlyHdl, ordered.Receive()), kSuccess);
    std::vector<std::string> names;
    for (Text directory, file; ordered && !ordered->IsDone(); std::ignore = ordered->Next()) {
      std::ignore = ordered->Current()->GetPath(&directory, &file);
      names.push_back(file.str());
    }
    return names;
  };
  EXPECT_EQ(order(true), (std::vector<std::string>{"core.v", "top.vhd"}));
  EXPECT_EQ(order(false).size(), 3u);

  // The parser holds the pin file, without units.
  AutoRelease<IHdlFileIterator> mirrored;
  ASSERT_EQ(AutoCast<IHdlFileSet>(wrapper.ParserProject())->GetIterator(mirrored.Receive()), kSuccess);
  int pins = 0;
  for (Text directory, file; !mirrored->IsDone(); std::ignore = mirrored->Next()) {
    std::ignore = mirrored->Current()->GetPath(&directory, &file);
    if (file.str() != "pins.ucf") continue;
    AutoRelease<IHdlDesignUnitIterator> units;
    EXPECT_TRUE(mirrored->Current()->GetDesignUnits(nullptr, units.Receive()) == kSuccess && units->IsDone());
    ++pins;
  }
  EXPECT_EQ(pins, 1);
}

// An owner that names its changes has only those compared: a new request reads the stamps of
// the files named, not of every file, and answers as a wrapper handed the whole list each time.
TEST_F(WrapperTest, ATrackingOwnerHasOnlyTheFilesItNamesComparedAndAnswersAsAWholeHandOver) {
  for (int i = 0; i < 6; ++i) Add(("spare" + std::to_string(i) + ".v").c_str(), "FILE_VERILOG", "module spare;\nendmodule\n");
  std::unique_ptr<CHdlPackageWrapper> eager = std::make_unique<CHdlPackageWrapper>();
  wrapper->TrackChanges();
  Hand();
  // The same request of a wrapper handed every file again.
  auto eagerly = [&] { return EagerOrder(eager, true); };
  EXPECT_TRUE(Hierarchy(true).count("u_leaf"));
  EXPECT_EQ(Order(), eagerly());
  auto reads = [&] {
    int total = 0;
    for (ViewFile* file : files) total += std::exchange(file->stampReads, 0);
    return total;
  };
  std::ignore = reads();

  // One file comes and one changes: only those two are read.
  Write("leaf.v", "module leaf (input a);\n  sub u_sub ();\nendmodule\n");
  leaf->seconds = 2;
  wrapper->MarkFileChanged(leaf->AsFile());
  ViewFile* sub = Add("sub.v", "FILE_VERILOG", "module sub;\nendmodule\n");
  wrapper->UpdateViewFile(sub->AsFile(), true);
  EXPECT_TRUE(Hierarchy(true).count("u_sub"));
  EXPECT_LE(reads(), 2 * 4) << "a few reads of the two files named, none of the others";
  EXPECT_FALSE(Hierarchy(false).empty());
  EXPECT_EQ(reads(), 0) << "what was passed on is not compared again";
  EXPECT_EQ(Order(), eagerly());

  // A file that leaves is gone from the parser and the order.
  files.erase(std::find(files.begin(), files.end(), leaf));
  wrapper->UpdateViewFile(leaf->AsFile(), false);
  std::ignore = Hierarchy(true);
  const std::vector<std::string> order = Order();
  EXPECT_EQ(std::count(order.begin(), order.end(), "leaf.v"), 0);
  EXPECT_EQ(order, eagerly());
}

// A file that moves is listed under its new path, and a second file under a path in use takes the
// listing over: the parser follows each as it would follow a wrapper handed every file.
TEST_F(WrapperTest, AMovedFileAndAPathListedTwiceAnswerAsAWholeHandOver) {
  std::unique_ptr<CHdlPackageWrapper> eager = std::make_unique<CHdlPackageWrapper>();
  wrapper->TrackChanges();
  Hand();
  auto eagerly = [&] { return EagerOrder(eager, false); };
  EXPECT_EQ(Order(), eagerly());

  Write("moved.v", "module leaf (input a);\nendmodule\n");
  leaf->path = dir / "moved.v";
  wrapper->MarkFileChanged(leaf->AsFile());
  EXPECT_TRUE(Hierarchy(true).count("u_leaf"));
  std::vector<std::string> order = Order();
  EXPECT_EQ(std::count(order.begin(), order.end(), "moved.v"), 1);
  EXPECT_EQ(std::count(order.begin(), order.end(), "leaf.v"), 0);
  EXPECT_EQ(order, eagerly());

  ViewFile* twin = Add("moved.v", "FILE_VERILOG");
  twin->seconds = 5;
  wrapper->UpdateViewFile(twin->AsFile(), true);
  EXPECT_TRUE(Hierarchy(true).count("u_leaf"));
  order = Order();
  EXPECT_EQ(std::count(order.begin(), order.end(), "moved.v"), 1);
  EXPECT_EQ(order, eagerly());

  // Moved back, the leaf is listed under its old path again, apart from its twin.
  leaf->path = dir / "leaf.v";
  wrapper->MarkFileChanged(leaf->AsFile());
  std::ignore = Hierarchy(true);
  order = Order();
  EXPECT_EQ(std::count(order.begin(), order.end(), "leaf.v"), 1);
  EXPECT_EQ(order, eagerly());
}

}  // namespace
