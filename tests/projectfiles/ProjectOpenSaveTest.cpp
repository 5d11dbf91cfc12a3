// The project's own open, save and close of its project source file, through its interfaces.

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "CommonI/IRefCount.h"
#include "Hvd/EventIds.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IProjectInfo.h"
#include "Hvd/ITclInterp.h"
#include "Hvd/ISharedConstraintMgr.h"
#include "Port/FaultInjection.h"
#include "Port/FileName.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "XhlcProject.h"
#include "core/Events.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "Prjrep/ClassIds.h"
#include "utils/DmUtils.h"
#include "utils/Factory.h"
#include "utils/InterpHelp.h"
#include "design/view/CView.h"
#include "project/TopModule.h"
#include "utils/KeyedProperty.h"
#include "utils/NetlistLookup.h"

namespace xhlc_test {
namespace {

// Counts the events of one id that reach it.
struct EventCounter {
  explicit EventCounter(const Port::XUID& wanted) : id(wanted) {}
  static Hvd::Status Hear(EventCounter* self, Prjrep::IEvent* event) {
    Port::XUID heardId;
    if (event->GetEventId(heardId) == Hvd::kSuccess && heardId == self->id) ++self->heard;
    return Hvd::kSuccess;
  }
  Port::XUID id;
  int heard = 0;
  Prjrep::TBaseEventReceiverHelper<EventCounter> receiver{this, &Hear};
};

class ProjectOpenSaveTest : public XhlcProject {
 protected:
  // The project open on `top`, which instantiates `mid`, in a family whose synthesis view
  // chooses `top` as its top.
  void OpenTopOverMid() {
    WriteText(m_dir / "top.vhd", "entity top is end;\narchitecture r of top is begin\n  u: entity work.mid;\nend;\n");
    WriteText(m_dir / "mid.vhd", "entity mid is end;\n");
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    Add(m_dir / "mid.vhd");
    Add(m_dir / "top.vhd");
    SetDevice("PROP_DevFamily", "Orvanta");
    std::string top;
    std::ignore = Order(&top);
    ASSERT_EQ(top, "top");
  }
  // A closed project component; the project makes its own design when it opens.
  void Create() {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(m_project);
    ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(0), Hvd::kSuccess);
  }
  Hvd::Status Open(const fs::path& path) {
    Create();
    return m_project->Open(path.c_str());
  }
  bool IsOpen() {
    bool open = false;
    EXPECT_EQ(m_project->IsOpen(&open), Hvd::kSuccess);
    return open;
  }
  void Add(const fs::path& path, const char* library = nullptr) {
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(Files()->ProjectAddFile(path.c_str(), nullptr, file.Receive()), Hvd::kSuccess);
    AutoCast<Hvd::IViewClassAssociation> classes(file.Get());  // for implementation and simulation
    ASSERT_TRUE(classes && classes->SetBit(0) == Hvd::kSuccess && classes->SetBit(1) == Hvd::kSuccess);
    if (library == nullptr) return;
    AutoRelease<Hvd::ISourceLibrary> made;
    ASSERT_EQ(Libraries()->CreateSourceLibrary(library, made.Receive()), Hvd::kSuccess);
    ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMember>(file.Get())->SetLibrary(made.Get()), Hvd::kSuccess);
  }
  // The files of the synthesis view in compile order, and its top unit.
  Strings Order(std::string* top) {
    Hvd::IDesign* design = nullptr;
    EXPECT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
    AutoRelease<Hvd::IViewIterator> views;
    if (design == nullptr || AutoCast<Hvd::IViewManager>(design)->GetViews(views.Receive()) != Hvd::kSuccess)
      return {};
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      AutoRelease<Hvd::IViewType> type;
      Text name;
      if (views->Current()->GetType(type.Receive()) != Hvd::kSuccess ||
          AutoCast<Hvd::IDefDataId>(type.Get())->GetDefDataIdName(&name) != Hvd::kSuccess ||
          name.str() != "VIEW_AbstractSynthesis")
        continue;
      Text unit;
      EXPECT_EQ(views->Current()->GetTopName(&unit), Hvd::kSuccess);
      *top = unit.str();
      AutoRelease<Hvd::IHdlFileIterator> files;
      EXPECT_EQ(views->Current()->GetCompileOrder(nullptr, 0, files.Receive()), Hvd::kSuccess);
      Strings order;
      for (; files && !files->IsDone(); std::ignore = files->Next()) {
        Text path;
        std::ignore = AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&path);
        order.push_back(path.str());
      }
      return order;
    }
    ADD_FAILURE() << "no synthesis view";
    return {};
  }
  // What a project answers of its design: each view by its type, with its top unit and its
  // compile order, each file named with its library.
  Strings DesignAnswers(Hvd::IProject* project) {
    Strings answers;
    Hvd::IDesign* design = nullptr;
    AutoRelease<Hvd::IViewIterator> views;
    if (project->GetDesign(&design) != Hvd::kSuccess || design == nullptr ||
        AutoCast<Hvd::IViewManager>(design)->GetViews(views.Receive()) != Hvd::kSuccess)
      return answers;
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      AutoRelease<Hvd::IViewType> type;
      Text name, top;
      std::ignore = views->Current()->GetType(type.Receive());
      if (type) std::ignore = AutoCast<Hvd::IDefDataId>(type.Get())->GetDefDataIdName(&name);
      std::ignore = views->Current()->GetTopName(&top);
      answers.push_back(name.str() + " top " + top.str());
      AutoRelease<Hvd::IHdlFileIterator> files;
      std::ignore = views->Current()->GetCompileOrder(nullptr, 0, files.Receive());
      for (; files && !files->IsDone(); std::ignore = files->Next()) {
        Text path;
        std::ignore = AutoCast<Prjrep::IFileNameHelper>(files->Current())->GetFullName(&path);
        answers.push_back("  " + LibraryOf(files->Current()) + "." + fs::path(path.str()).filename().string());
      }
    }
    return answers;
  }
  // A device setting changed, announced to the platform as the suite's property layer does.
  void SetDevice(const char* name, const char* value) {
    Hvd::IDesign* design = nullptr;
    ASSERT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
    AutoRelease<Hvd::IDesignPlatform> platform;
    ASSERT_EQ(design->GetDesignPlatform(platform.Receive()), Hvd::kSuccess);
    AutoRelease<Hvd::IPropertyInstanceIterator> properties;
    ASSERT_EQ(platform->GetProperties(properties.Receive()), Hvd::kSuccess);
    for (; properties && !properties->IsDone(); std::ignore = properties->Next()) {
      Hvd::IPropertyInstance* instance = properties->Current();
      Text key;
      if (instance->GetName(&key) != Hvd::kSuccess || key.str() != name) continue;
      ASSERT_EQ(instance->SetValue(value), Hvd::kSuccess);
      std::ignore = AutoCast<Prjrep::IEventReceiver>(platform.Get())
                        ->ReceiveEvent(Hvd::CreateEvent(instance, Hvd::EventId::PropertyChangeA(), instance));
    }
    ASSERT_EQ(platform->NotifyChanges(), Hvd::kSuccess);
  }
  std::string Versioned(const char* version) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<project xmlns=\"http://www.velmor.com/XMLSchema\" "
                       "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
                       "  <version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"") +
           version + "\"/>\n</project>\n";
  }
};

TEST_F(ProjectOpenSaveTest, EachKindOfPath) {
  // A missing project file makes a new project, written at once.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  EXPECT_TRUE(fs::is_regular_file(m_file));
  EXPECT_NE(ReadText(m_file).find("<project"), std::string::npos);
  Text path;
  ASSERT_EQ(AutoCast<Hvd::IProject2>(m_project.Get())->GetProjectFilePath(&path), Hvd::kSuccess);
  EXPECT_EQ(path.str(), m_file.string());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_FALSE(IsOpen());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);  // closing a closed project

  // A file saved by a newer major version is refused and the project stays closed.
  fs::copy_file(kData / "newer.xhlc", m_dir / "newer.xhlc");
  EXPECT_EQ(Open(m_dir / "newer.xhlc"), Hvd::kOpenOlderProjectFailed);
  EXPECT_FALSE(IsOpen());
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error,
                       "The software version (14) is older than the version saved in the project file (99)."));
  // An older major version would have to be migrated first.
  WriteText(m_dir / "older.xhlc", Versioned("13.1"));
  EXPECT_EQ(Open(m_dir / "older.xhlc"), Hvd::kOpenOlderProjectFailed);
  EXPECT_FALSE(IsOpen());
  // The same major version opens.
  WriteText(m_dir / "same.xhlc", Versioned("14.7"));
  EXPECT_EQ(Open(m_dir / "same.xhlc"), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  // Neither a project file nor an older one.
  WriteText(m_dir / "notes.txt", "text");
  EXPECT_EQ(Open(m_dir / "notes.txt"), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());
  EXPECT_FALSE(fs::exists(m_dir / "notes.xhlc"));
  // No path: a project in memory only, which no save writes anywhere.
  EXPECT_EQ(Open(""), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  Text untouched("kept");
  EXPECT_EQ(AutoCast<Hvd::IProject2>(m_project.Get())->GetProjectFilePath(&untouched), Hvd::kSuccess);
  EXPECT_EQ(untouched.str(), "kept");
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kFailure);
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kFailure);  // the save's answer; closed all the same
  EXPECT_FALSE(IsOpen());
  // An open project is not opened again; a closed one is reopened from its file alone.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(m_project->Open(m_file.c_str()), Hvd::kOwnerMissing);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->Reopen(m_file.c_str()), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A project file that does not parse leaves the project open with nothing read, and nothing
// that writes the project file replaces it from that empty project.
// Registered in place of a component's factory: it makes nothing.
struct RefusingFactory : CitI::IFactory, CommonI::IRefCount {
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == CommonI::IRefCount::GetIID()) return static_cast<CommonI::IRefCount*>(this);
    return iid == CitI::IInterface::GetIID() || iid == CitI::IFactory::GetIID() ? static_cast<CitI::IFactory*>(this)
                                                                                : nullptr;
  }
  CitI::IInterface* CreateInstance(const Port::XUID&) override { return nullptr; }
  std::uint64_t AddRef() override { return std::uint64_t(++refs); }
  std::uint64_t Release() override { return std::uint64_t(--refs); }
  std::uint64_t GetRefCount(std::int32_t& count) override { return count = refs, 1; }
  int refs = 0;
};

// Without the project-information component an existing project file is not opened.
TEST_F(ProjectOpenSaveTest, NoProjectInformationComponentNoOpen) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  ASSERT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  RefusingFactory refusing;
  CitP::Factory::RegisterFactory(Hvd::ClassId::ProjectInfo(), &refusing);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Open(m_file), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Project::Open - CreateInstance of CProjectComp failed."));
  InstFactoryEntry();  // the real factory back, before this one goes
  EXPECT_EQ(refusing.refs, 0);
  EXPECT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

TEST_F(ProjectOpenSaveTest, UnreadableFileIsNeverOverwritten) {
  fs::copy_file(kData / "notxml.xhlc", m_file);
  const std::string before = ReadText(m_file);
  EXPECT_EQ(Open(m_file), Hvd::kProjectNotOpened);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), before);
  // A copy under another name is refused rather than written from the empty project.
  EXPECT_EQ(Internal()->ProjectWriteAs((m_dir / "copy.xhlc").c_str(), nullptr), Hvd::kProjectNotOpened);
  EXPECT_EQ(Internal()->ProjectWriteCopy((m_root / "other" / "copy.xhlc").c_str(), nullptr, "", "", "", true),
            Hvd::kProjectNotOpened);
  EXPECT_FALSE(fs::exists(m_dir / "copy.xhlc"));
  EXPECT_FALSE(fs::exists(m_root / "other" / "copy.xhlc"));
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), before);
}

TEST_F(ProjectOpenSaveTest, SavedClosedAndReopenedTheSame) {
  WriteText(m_dir / "a.vhd",
            "entity a is end;\narchitecture r of a is begin\n  u: entity mine.c;\nend;\n");
  WriteText(m_dir / "src dir/b.v", "module b; endmodule\n");
  WriteText(m_dir / "src dir/c.vhd", "entity c is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  Add(m_dir / "src dir/b.v");
  Add(m_dir / "src dir/c.vhd", "mine");
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_AutoCompileOrderImp", "false");
  // Another family rebuilds the views, which places the files.
  SetDevice("PROP_DevFamily", "Orvanta");
  std::string top;
  const Strings order = Order(&top);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(top, "a");
  ASSERT_EQ(order.size(), 3u) << ::testing::PrintToString(order);
  EXPECT_LT(std::find(order.begin(), order.end(), (m_dir / "src dir/c.vhd").string()),
            std::find(order.begin(), order.end(), (m_dir / "a.vhd").string()));
  const Strings files = FileNames();
  ASSERT_EQ(files.size(), 3u);
  const std::string saved = ReadText(m_file);
  EXPECT_NE(saved.find("b.v"), std::string::npos);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(FileNames(), files);
  EXPECT_EQ(LibraryOf(File(m_dir / "a.vhd")), "work");
  EXPECT_EQ(LibraryOf(File(m_dir / "src dir/c.vhd")), "mine");
  EXPECT_EQ(Property("PROP_AutoCompileOrderImp"), "false");
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
  // The reopened files are placed in the views again, in the same order: the instantiated
  // unit before the one that instantiates it.
  std::string topAgain;
  EXPECT_EQ(Order(&topAgain), order);
  EXPECT_EQ(topAgain, top);

  // A save with nothing changed leaves the file as it is; a change is written. The generated
  // file is written by every save all the same, each time a new file renamed over the old.
  const Stamp unchanged = StampOf(m_file);
  const fs::path generated = m_dir / "p.ghlc";
  const Stamp generatedBefore = StampOf(generated);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  const Stamp generatedSaved = StampOf(generated);
  EXPECT_NE(generatedSaved.inode, generatedBefore.inode);
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_NE(StampOf(generated).inode, generatedSaved.inode);
  EXPECT_EQ(StampOf(m_file), unchanged);
  EXPECT_EQ(ReadText(m_file), saved);
  EXPECT_EQ(Files()->RemoveFileByPath((m_dir / "a.vhd").c_str()), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file).find("a.vhd"), std::string::npos);
}

// "work" takes Verilog files as well as VHDL ones: a Verilog file added without a library lies
// in it, also once opened again, and the file does not name it. A library the user makes
// still takes VHDL files only.
TEST_F(ProjectOpenSaveTest, VerilogFilesLieInWork) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  WriteText(m_dir / "m.v", "module m; endmodule\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  Add(m_dir / "m.v");
  EXPECT_EQ(LibraryOf(File(m_dir / "m.v")), "work");
  AutoRelease<Hvd::ISourceLibrary> own;
  ASSERT_EQ(Libraries()->CreateSourceLibrary("mine", own.Receive()), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::ISourceLibraryMember>(File(m_dir / "m.v"))->SetLibrary(own.Get()), Hvd::kFailure);
  EXPECT_EQ(LibraryOf(File(m_dir / "m.v")), "work");
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  const std::string saved = ReadText(m_file);
  EXPECT_EQ(saved.find("\"work\""), std::string::npos);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(LibraryOf(File(m_dir / "m.v")), "work");
  EXPECT_EQ(LibraryOf(File(m_dir / "a.vhd")), "work");
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), saved);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A library renamed is saved under its new name and read back so; its old name is free for
// another library.
TEST_F(ProjectOpenSaveTest, ARenamedLibraryReopensAsItWasSaved) {
  WriteText(m_dir / "c.vhd", "entity c is end;\n");
  WriteText(m_dir / "e.vhd", "entity e is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "c.vhd", "mine");
  AutoRelease<Hvd::ISourceLibrary> mine;
  ASSERT_EQ(Libraries()->FindSourceLibrary("mine", mine.Receive()), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IName>(mine.Get())->SetName("yours"), Hvd::kSuccess);
  Add(m_dir / "e.vhd", "mine");
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  const std::string saved = ReadText(m_file);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(LibraryOf(File(m_dir / "c.vhd")), "yours");
  EXPECT_EQ(LibraryOf(File(m_dir / "e.vhd")), "mine");
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), saved);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A family the installation does not offer is refused where the project's device is set, and
// the family the project had is the one it keeps and saves.
TEST_F(ProjectOpenSaveTest, ARefusedFamilyLeavesTheProjectsFamilyAsItWas) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  SetDevice("PROP_DevFamily", "Orvanta");
  Hvd::IDesign* design = nullptr;
  AutoRelease<Hvd::IDesignPlatform> platform;
  AutoRelease<Hvd::IPropertyInstanceIterator> properties;
  ASSERT_TRUE(m_project->GetDesign(&design) == Hvd::kSuccess &&
              design->GetDesignPlatform(platform.Receive()) == Hvd::kSuccess &&
              platform->GetProperties(properties.Receive()) == Hvd::kSuccess);
  int refused = 0;
  for (; properties && !properties->IsDone(); std::ignore = properties->Next()) {
    Text key;
    if (properties->Current()->GetName(&key) == Hvd::kSuccess && key.str() == "PROP_DevFamily")
      refused += properties->Current()->SetValue("Nonsense") != Hvd::kSuccess;
  }
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file).find("Nonsense"), std::string::npos);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(Property("PROP_DevFamily"), "Orvanta");
}

// A file joins the views as soon as it is given its view classes, without the views being
// built anew, and so is saved with them; a file read from the project file is placed too.
TEST_F(ProjectOpenSaveTest, AddedFileJoinsTheViewsAtOnce) {
  WriteText(m_dir / "leaf.vhd", "entity leaf is end;\n");
  WriteText(m_dir / "root.v", "module root; leaf u(); endmodule\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  std::string top;
  EXPECT_TRUE(Order(&top).empty());
  Add(m_dir / "leaf.vhd");
  Add(m_dir / "root.v");
  const Strings order = Order(&top);
  EXPECT_EQ(order, (Strings{(m_dir / "leaf.vhd").string(), (m_dir / "root.v").string()}));
  EXPECT_EQ(top, "root");
  // A class given again, or one no view wants, changes nothing.
  AutoCast<Hvd::IViewClassAssociation> classes(File(m_dir / "root.v"));
  ASSERT_TRUE(classes);
  EXPECT_EQ(classes->SetBit(0), Hvd::kSuccess);
  EXPECT_EQ(classes->SetBit(7), Hvd::kSuccess);
  EXPECT_EQ(Order(&top), order);
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);

  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  std::string topAgain;
  EXPECT_EQ(Order(&topAgain), order);
  EXPECT_EQ(topAgain, "root");
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// The synthesis view that names its top unit but not that unit's file is given the file the
// unit is found in below the netlist's root; a recorded file is left as it is.
TEST_F(ProjectOpenSaveTest, TopUnitFileIsRecordedWhenMissing) {
  OpenTopOverMid();
  if (HasFatalFailure()) return;
  Hvd::IDesign* design = nullptr;
  AutoRelease<Hvd::IViewIterator> at;
  ASSERT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint("SynthesisOnly", at.Receive()), Hvd::kSuccess);
  ASSERT_TRUE(at && !at->IsDone());
  Hvd::IView* view = at->Current();

  // Found below the root, and not found at all.
  AutoRelease<Hvd::IHdlNetListNode> root = Hvd::GetViewNetListRoot(view);
  Text path("unchanged");
  EXPECT_TRUE(Hvd::FindTopUnitFile("mid", root.Get(), &path));
  EXPECT_EQ(path.str(), (m_dir / "mid.vhd").string());
  path = "unchanged";
  EXPECT_FALSE(Hvd::FindTopUnitFile("nowhere", root.Get(), &path));
  EXPECT_EQ(path.str(), "unchanged");

  Hvd::SetKeyedPropertyValue(view, "TOPDUFILE", "");
  Port_MsgManData::ClearCaptured();
  Hvd::CheckTopModule(design);
  EXPECT_EQ(Hvd::GetKeyedPropertyValue(view, "TOPDUFILE").str(), (m_dir / "top.vhd").string());
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Info, "No valid implementable Top module"));
  Hvd::SetKeyedPropertyValue(view, "TOPDUFILE", "kept.vhd");
  Hvd::CheckTopModule(design);
  EXPECT_EQ(Hvd::GetKeyedPropertyValue(view, "TOPDUFILE").str(), "kept.vhd");
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A project file that names the synthesis view's top unit but not that unit's file opens with
// the file recorded; and the search for the unit's file takes a node that is itself the unit.
TEST_F(ProjectOpenSaveTest, TheOpenRecordsTheTopUnitsFile) {
  OpenTopOverMid();
  if (HasFatalFailure()) return;
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  // The file names the top unit, as another program would write it, but not its file.
  std::string text = ReadText(m_file);
  const auto at = text.find("  </properties>");
  ASSERT_NE(at, std::string::npos) << text;
  text.insert(at, "    <property vel_kv:name=\"Auto Implementation Top\" vel_kv:value=\"false\" "
                  "vel_kv:valueState=\"non-default\"/>\n"
                  "    <property vel_kv:name=\"Implementation Top\" vel_kv:value=\"top\" "
                  "vel_kv:valueState=\"non-default\"/>\n");
  WriteText(m_file, text);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Hvd::IDesign* design = nullptr;
  AutoRelease<Hvd::IViewIterator> synthesis;
  ASSERT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint("SynthesisOnly", synthesis.Receive()), Hvd::kSuccess);
  ASSERT_TRUE(synthesis && !synthesis->IsDone());
  Hvd::IView* view = synthesis->Current();
  EXPECT_EQ(Hvd::GetKeyedPropertyValue(view, "TOPDESIGNUNIT").str(), "top");
  EXPECT_EQ(Hvd::GetKeyedPropertyValue(view, "TOPDUFILE").str(), (m_dir / "top.vhd").string());

  // The node of the unit itself, and one whose subtree does not hold it.
  AutoRelease<Hvd::IHdlNetListNode> unit = Hvd::FindViewNodeByDuName(view, "top");
  ASSERT_TRUE(unit);
  Text path("unchanged");
  EXPECT_TRUE(Hvd::FindTopUnitFile("top", unit.Get(), &path));
  EXPECT_EQ(path.str(), (m_dir / "top.vhd").string());
  AutoRelease<Hvd::IHdlNetListNode> below = Hvd::FindViewNodeByDuName(view, "mid");
  ASSERT_TRUE(below);
  path = "unchanged";
  EXPECT_FALSE(Hvd::FindTopUnitFile("top", below.Get(), &path));
  EXPECT_EQ(path.str(), "unchanged");
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// The open's version check, the reload and the save name the project's revision with their messages.
TEST_F(ProjectOpenSaveTest, TheProjectsMessagesNameItsRevision) {
  const auto revisionsOf = [](const std::string& part) {
    Strings revisions;
    for (const auto& record : Port_MsgManData::Captured())
      if (record.text.find(part) != std::string::npos) revisions.push_back(record.revision);
    return revisions;
  };
  const Strings once{"$Revision: 1.270.12.3 $"};
  fs::copy_file(kData / "newer.xhlc", m_dir / "newer.xhlc");
  EXPECT_EQ(Open(m_dir / "newer.xhlc"), Hvd::kOpenOlderProjectFailed);
  EXPECT_EQ(revisionsOf("is older than the version saved"), once);

  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->Reload(), Hvd::kSuccess);
  EXPECT_EQ(revisionsOf("INFO: Reloading \""), once);
  EXPECT_EQ(revisionsOf("Reloading the project."), once);
  EXPECT_EQ(revisionsOf("Finished reloading the project."), once);

  fs::create_directories(m_root / "locked");
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("canwrite_dir", 0, "locked");
  EXPECT_EQ(Internal()->ProjectWriteAs((m_root / "locked" / "p.xhlc").c_str(), nullptr), Hvd::kProjectReadOnly);
  EXPECT_EQ(revisionsOf("does not have write permissions"), once);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A project marked as another's sub-project reloads as one, and its close withdraws the mark.
TEST_F(ProjectOpenSaveTest, SubProjectMarkLastsUntilClose) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  const Text mark = Hvd::MakeInterfaceKey("subproject", m_project.Get());
  {
    Hvd::OperationGateGuard gate;
    gate.EnterOperationGate(mark, m_project.Get());
  }
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->Reload(), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Info, "INFO: Reloading subproject \""));
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  AutoRelease<CitI::IInterface> gate;
  std::ignore = Hvd::FindNamedObject("OperationGate", gate.Receive());
  AutoRelease<CitI::IInterface> found;
  if (AutoCast<Prjrep::ISimpleNamedLookup> keys(gate.Get()); keys) {
    EXPECT_NE(keys->Find(mark, found.Receive()), Hvd::kSuccess);
  }

  ASSERT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->Reopen(m_file.c_str()), Hvd::kSuccess);
  // The design announces its views once per reload, after the file is read again.
  EventCounter counter(Hvd::EventId::ViewsChanged());
  Hvd::IDesign* design = nullptr;
  ASSERT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
  Hvd::ConnectEventReceiver(design, &counter.receiver);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->Reload(), Hvd::kSuccess);
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Info, "INFO: Reloading subproject"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Non-Child has a Project Generator value of"));
  EXPECT_EQ(counter.heard, 1);
  // A generated sub-project reloads without a question, and still says what its generator is.
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectGeneratorType", "Moldrix");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->Reload(), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Non-Child has a Project Generator value of Moldrix"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Info, "INFO: Reloading subproject \""));
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A reload reads its file into the design it emptied: nothing is asked of that design before
// the open sets it up again, and the working directory the file names still places the
// generated file.
TEST_F(ProjectOpenSaveTest, AReloadAsksNothingOfTheDesignItEmptied) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  auto project = AutoCast<Hvd::IProject3>(m_project.Get());
  ASSERT_EQ(project->ChangeWorkingDirectory((m_dir / "work").c_str(), true, false), Hvd::kSuccess);
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(project->Reload(), Hvd::kSuccess);
  for (const auto& record : Port_MsgManData::Captured())
    EXPECT_EQ(record.text.find("GetPropertyManager"), std::string::npos) << record.text;
  EXPECT_EQ(FileNames(), Strings{(m_dir / "a.vhd").string()});
  Text generated;
  ASSERT_EQ(project->GetGeneratedFilePath(&generated), Hvd::kSuccess);
  EXPECT_EQ(generated.str(), (m_dir / "work/p.ghlc").string());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// Another writer moves the saved file's device. Whichever way the project reads it in again (the
// library's reload, a save's question answered yes, a sub-project's reload), it then answers as
// a fresh open of that file does: the same views with their order, top and files' libraries,
// and a close that writes every file with its views. The default part is read in as any other.
TEST_F(ProjectOpenSaveTest, AReloadAnswersAsAFreshOpenOfTheSameFile) {
  WriteText(m_dir / "pkg.vhd", "package pkg is\n  constant w : integer := 4;\nend package;\n");
  WriteText(m_dir / "leaf.vhd", "use work.pkg.all;\nentity leaf is end;\narchitecture a of leaf is begin end;\n");
  WriteText(m_dir / "blink.v", "module blink; endmodule\n");
  WriteText(m_dir / "top.vhd",
            "library mylib;\nentity top is end;\narchitecture a of top is\n  component blink end component;\n"
            "begin\n  u: entity mylib.leaf;\n  b: blink;\nend;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "pkg.vhd", "mylib");
  Add(m_dir / "leaf.vhd");
  AutoRelease<Hvd::ISourceLibrary> mylib;
  ASSERT_EQ(Libraries()->FindSourceLibrary("mylib", mylib.Receive()), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMember>(File(m_dir / "leaf.vhd"))->SetLibrary(mylib.Get()), Hvd::kSuccess);
  Add(m_dir / "blink.v");
  Add(m_dir / "top.vhd");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  const Strings opened = DesignAnswers(m_project.Get());
  const auto synthesis = std::find(opened.begin(), opened.end(), "VIEW_AbstractSynthesis top top");
  ASSERT_LE(synthesis + 5, opened.end());
  EXPECT_EQ(Strings(synthesis + 1, synthesis + 5),
            (Strings{"  mylib.pkg.vhd", "  mylib.leaf.vhd", "  work.blink.v", "  work.top.vhd"}));
  ASSERT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  // The file's own elements, and every file's association with a view.
  const auto entries = [](const std::string& text) {
    Strings lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
      if (line.find("<file ") != std::string::npos || line.find("<association ") != std::string::npos ||
          line.find("<library ") != std::string::npos)
        lines.push_back(line);
    return lines;
  };
  // The writer puts another part in the file, as a user's setting; what it wrote is given back.
  const auto retarget = [this](const std::string& device) {
    std::string text = ReadText(m_file);
    const auto at = text.find("<property vel_kv:name=\"Device\" ");
    const auto end = text.find("/>", at);
    EXPECT_NE(end, std::string::npos) << text;
    text.replace(at, end - at,
                 "<property vel_kv:name=\"Device\" vel_kv:value=\"" + device + "\" vel_kv:valueState=\"non-default\"");
    WriteText(m_file, text);
    return text;
  };
  const auto reloaded = [&](const char* how, bool subProject, const std::string& device,
                            const std::function<Hvd::Status()>& reload) {
    SCOPED_TRACE(how);
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    if (subProject) {
      Hvd::OperationGateGuard gate;
      gate.EnterOperationGate(Hvd::MakeInterfaceKey("subproject", m_project.Get()), m_project.Get());
    }
    const std::string theirs = retarget(device);
    EXPECT_EQ(reload(), Hvd::kSuccess);
    EXPECT_EQ(Property("PROP_DevDevice"), device);
    const Strings answers = DesignAnswers(m_project.Get());
    EXPECT_EQ(answers, opened);  // the device moved within its family: the views stay the same
    // What was read in is no change on disk to the close's save, which reads nothing again.
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
    EXPECT_FALSE(Captured(Port_MsgManData::Severity::Info, "Reloading"));
    EXPECT_EQ(entries(ReadText(m_file)), entries(theirs));
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    EXPECT_EQ(Property("PROP_DevDevice"), device);
    EXPECT_EQ(DesignAnswers(m_project.Get()), answers);
    EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  };
  const auto libraryReload = [this] { return AutoCast<Hvd::IProject3>(m_project.Get())->Reload(); };
  reloaded("the library's reload", false, "LM2-20", libraryReload);
  reloaded("the save's question", false, "LM2-45", [this] { return m_project->Save(); });
  reloaded("a sub-project's reload", true, "LM2-20", libraryReload);
}

// A folder is refused as a source, with the reason, and the project is left as it was. A folder
// at a listed name is a file off the disk: its entry stays, under its own name. Only a folder
// that holds the project can never be its file: it is left out, and the open says so.
TEST_F(ProjectOpenSaveTest, AFolderIsNoSource) {
  WriteText(m_dir / "sub/a.vhd", "entity a is end;\n");
  WriteText(m_dir / "gone.vhd", "entity gone is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  AutoRelease<Hvd::IHdlFile> file;
  EXPECT_EQ(Files()->ProjectAddFile((m_dir / "sub").c_str(), nullptr, file.Receive()), Hvd::kFailure);
  EXPECT_FALSE(file);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "sub is a folder, not a file."));
  EXPECT_TRUE(FileNames().empty());
  Add(m_dir / "sub/a.vhd");
  Add(m_dir / "gone.vhd");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);

  std::string saved = ReadText(m_file);
  const std::size_t at = saved.find("    <file vel_kv:name=\"sub/a.vhd\"");
  saved.insert(at, "    <file vel_kv:name=\"sub\" vel_kv:type=\"FILE_TEXT\"/>\n");
  std::string text = saved;
  for (const char* name : {".", "..", "sub/.."})
    text.insert(at, "    <file vel_kv:name=\"" + std::string(name) + "\"/>\n");
  WriteText(m_file, text);
  fs::remove(m_dir / "gone.vhd");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(FileNames(),
            (Strings{(m_dir / "sub").string(), (m_dir / "sub/a.vhd").string(), (m_dir / "gone.vhd").string()}));
  for (const fs::path& folder : {m_dir, m_dir.parent_path()})
    EXPECT_TRUE(
        Captured(Port_MsgManData::Severity::Warning,
                 "names \"" + folder.string() + "\", which the project cannot hold: it is a folder, not a file."));
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Warning, "names \"" + (m_dir / "sub").string() + "\""));
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), saved);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A parent follows its child project: while the child reads itself again the child's file in
// the parent is told so, and afterwards the parent listens to the child again.
TEST_F(ProjectOpenSaveTest, ChildProjectReloadIsFollowed) {
  const fs::path childFile = m_dir / "child.xhlc";
  AutoRelease<Hvd::IProject> child(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_TRUE(child);
  ASSERT_EQ(child->Open(childFile.c_str()), Hvd::kSuccess);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  AutoRelease<Hvd::IHdlFile> entry;
  ASSERT_EQ(Files()->ProjectAddFile(childFile.c_str(), nullptr, entry.Receive()), Hvd::kSuccess);
  EventCounter told(Hvd::EventId::HdlFileEvent());
  Hvd::ConnectEventReceiver(entry.Get(), &told.receiver);

  EXPECT_EQ(AutoCast<Hvd::IProject3>(child.Get())->Reload(), Hvd::kSuccess);
  EXPECT_EQ(told.heard, 1);
  EXPECT_EQ(AutoCast<Hvd::IProject3>(child.Get())->Reload(), Hvd::kSuccess);
  EXPECT_EQ(told.heard, 2);  // followed again after the first reload ended
  // The parent's close closes the child it opened its file with.
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  bool open = true;
  EXPECT_EQ(child->IsOpen(&open), Hvd::kSuccess);
  EXPECT_FALSE(open);
  EXPECT_EQ(told.heard, 2);
}

// The save waits out its delay, and a delay of -1 leaves writing to the forced save.
TEST_F(ProjectOpenSaveTest, SaveDelay) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  auto force = AutoCast<Hvd::IForceSave>(m_project.Get());
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  ASSERT_EQ(force->SetSaveDelay(3600), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file).find("a.vhd"), std::string::npos);
  ASSERT_EQ(force->SetSaveDelay(-1), Hvd::kSuccess);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file).find("a.vhd"), std::string::npos);
  EXPECT_EQ(force->ForceSave(), Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("a.vhd"), std::string::npos);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(m_project->Save(), Hvd::kProjectNotOpen);
}

// A project file that cannot be written keeps the session's changes in memory: its save warns and
// answers success, but a close that saves would drop them, so it fails and the project stays
// open; a close without saving drops them on purpose, and one with nothing changed closes
// quietly. A folder taken away while the project is open is named as such.
TEST_F(ProjectOpenSaveTest, ChangesThatCouldNotBeWrittenKeepTheProjectOpen) {
  const auto description = [this] { return Hvd::PropertyAccessor(m_project.Get()).GetPropertyValue("PROP_ProjectDescription"); };
  const auto describe = [this](const char* text) {
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", text);
  };
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  ASSERT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("canwrite", 0, m_file.filename().string());
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
    EXPECT_FALSE(IsOpen());
    EXPECT_FALSE(Captured(Port_MsgManData::Severity::Warning, "write permissions"));

    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    describe("kept in memory");
    EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "does not have write permissions"));
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(m_project->ProjectClose(true), Hvd::kProjectReadOnly);
    EXPECT_TRUE(IsOpen());
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "there is no permission to write it"));
    EXPECT_EQ(description(), "kept in memory");
    EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
    EXPECT_FALSE(IsOpen());
  }
  EXPECT_EQ(ReadText(m_file).find("kept in memory"), std::string::npos);

  // The folder renamed, then put back: the close that failed wrote nothing, the next one all.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  describe("moved away");
  const fs::path moved = m_root / "moved";
  fs::rename(m_dir, moved);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kProjectReadOnly);
  EXPECT_TRUE(IsOpen());
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "is gone"));
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Warning, "write permissions"));
  fs::rename(moved, m_dir);
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_FALSE(IsOpen());
  EXPECT_NE(ReadText(m_file).find("moved away"), std::string::npos);
}

// A write that was tried and failed is the answer of the save, of the forced save and of the
// close that saves; a project file that can never be written is not opened.
TEST_F(ProjectOpenSaveTest, AFailedWriteIsReportedAndAnUnwritableProjectFileIsNotOpened) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  fs::remove(m_file);
  fs::create_directory(m_file);
  // A folder at its name is a change on disk: the save asks first, and "no" writes over it.
  ASSERT_EQ(InterpHelp::RunCmd("lappend ::velmor::Hvd::answers 2", nullptr, false, nullptr), Hvd::kSuccess);
  EXPECT_NE(m_project->Save(), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ERROR: Project::Save - The project file \"" + m_file.string() + "\" could not be written.\n"));
  EXPECT_NE(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_NE(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_FALSE(IsOpen());
  EXPECT_TRUE(fs::is_directory(m_file));

  // A link loop, and a name below a file, can never be written.
  const fs::path loop = m_dir / "loop.xhlc";
  fs::create_symlink(m_dir / "back.xhlc", loop);
  fs::create_symlink(loop, m_dir / "back.xhlc");
  EXPECT_EQ(Open(loop), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ERROR: IProject::Open - The project file \"" + loop.string() + "\" can never be written"));
  EXPECT_FALSE(IsOpen());
  WriteText(m_dir / "plain", "x");
  EXPECT_EQ(Open(m_dir / "plain" / "p.xhlc"), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());

  // A new project whose first write fails is not opened either, and leaves nothing behind.
  Port::FaultInjection::Scope faults;
  Port::FaultInjection::Fail("rename", 0, "fresh.xhlc");
  EXPECT_NE(Open(m_dir / "fresh.xhlc"), Hvd::kSuccess);
  EXPECT_FALSE(IsOpen());
  EXPECT_FALSE(fs::exists(m_dir / "fresh.xhlc"));
}

// Another writer's change is never written over unasked: a save, and a close that saves, find
// the file changed since this project read or wrote it and ask; the default answer reads the
// change in, and "no" writes this project's own after all.
TEST_F(ProjectOpenSaveTest, AnotherWritersChangeIsReadInOrOverwrittenOnlyWhenTheUserSaysSo) {
  for (const char* name : {"a.vhd", "b.vhd", "c.vhd", "d.vhd"}) WriteText(m_dir / name, "entity e is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  auto asked = [] {
    Text text;
    std::ignore = InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &text);
    std::ignore = InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr);
    return text.str();
  };
  asked();
  // A second project on the same file adds a file and saves.
  auto second = [&](const fs::path& added) {
    AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    ASSERT_TRUE(other);
    ASSERT_EQ(other->Open(m_file.c_str()), Hvd::kSuccess);
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(AutoCast<Hvd::IFileManager>(other.Get())->ProjectAddFile(added.c_str(), nullptr, file.Receive()),
              Hvd::kSuccess);
    ASSERT_EQ(other->ProjectClose(true), Hvd::kSuccess);
  };
  second(m_dir / "b.vhd");
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_NE(asked().find("changed on disk.\nWould you like to reload?"), std::string::npos);
  EXPECT_EQ(FileNames(), (Strings{(m_dir / "a.vhd").string(), (m_dir / "b.vhd").string()}));
  EXPECT_NE(ReadText(m_file).find("b.vhd"), std::string::npos);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);  // its own write is no change
  EXPECT_EQ(asked(), "");

  // Rewritten in place within the same second, to the same size: still a change.
  std::string text = ReadText(m_file);
  text.replace(text.find("\"b.vhd\""), 7, "\"d.vhd\"");
  std::ofstream(m_file, std::ios::binary | std::ios::in | std::ios::out) << text;
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_NE(asked(), "");
  EXPECT_EQ(FileNames(), (Strings{(m_dir / "a.vhd").string(), (m_dir / "d.vhd").string()}));

  // Told not to read it in, the save writes this project's own.
  second(m_dir / "c.vhd");
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::answers 2", nullptr, false, nullptr), Hvd::kSuccess);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_NE(asked(), "");
  EXPECT_EQ(ReadText(m_file).find("c.vhd"), std::string::npos);

  // The close that has a change to save asks as well.
  second(m_dir / "c.vhd");
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", "ours");
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_NE(asked(), "");
  EXPECT_NE(ReadText(m_file).find("c.vhd"), std::string::npos);
  EXPECT_NE(ReadText(m_file).find("d.vhd"), std::string::npos);
}

// Another program rewrites the project file: the project notices and, once the user agrees,
// reads it again; a rewrite that does not parse leaves it open with nothing read.
TEST_F(ProjectOpenSaveTest, ChangedOnDiskIsReloaded) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  WriteText(m_dir / "b.vhd", "entity b is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  Add(m_dir / "b.vhd");
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  auto checks = Files();
  EXPECT_EQ(checks->CheckFiles(), Hvd::kSuccess);  // its own save is no change
  EXPECT_EQ(FileNames().size(), 2u);
  Text asked;
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &asked), Hvd::kSuccess);
  EXPECT_EQ(asked.str(), "");

  // Rewritten without b.vhd, later than the stamp: the user answers no, then yes.
  std::string text = ReadText(m_file);
  const auto at = text.find("    <file vel_kv:name=\"b.vhd\"");
  const auto end = text.find("</file>\n", at);
  ASSERT_NE(end, std::string::npos) << text;
  text.erase(at, end + 8 - at);
  auto rewrite = [this](const std::string& content) {
    const auto before = fs::last_write_time(m_file);
    WriteText(m_file, content);
    fs::last_write_time(m_file, before + std::chrono::seconds(5));
  };
  rewrite(text);
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::answers 2", nullptr, false, nullptr), Hvd::kSuccess);
  EXPECT_EQ(checks->CheckFiles(), Hvd::kSuccess);
  EXPECT_EQ(FileNames().size(), 2u);
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &asked), Hvd::kSuccess);
  EXPECT_EQ(asked.str(), "{The project " + m_file.string() + " has changed on disk.\nWould you like to reload?}");
  EXPECT_EQ(ReadText(m_file), text);
  rewrite(text + " ");
  EXPECT_EQ(checks->CheckFiles(), Hvd::kSuccess);  // no answer queued: the default, yes
  EXPECT_EQ(FileNames(), Strings{(m_dir / "a.vhd").string()});
  EXPECT_TRUE(IsOpen());

  // A broken rewrite is not read in: the project stays as it was, the check answers the
  // failure, and no save or check writes over it.
  rewrite("<project>broken");
  EXPECT_EQ(checks->CheckFiles(), Hvd::kProjectNotOpened);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(FileNames(), Strings{(m_dir / "a.vhd").string()});
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "while reloading the project."));
  EXPECT_EQ(m_project->Save(), Hvd::kProjectNotOpened);
  EXPECT_EQ(checks->CheckFiles(), Hvd::kProjectNotOpened);
  EXPECT_EQ(ReadText(m_file), "<project>broken");
  // Mended on disk, it is read again.
  rewrite(text);
  EXPECT_EQ(checks->CheckFiles(), Hvd::kSuccess);
  EXPECT_EQ(FileNames(), Strings{(m_dir / "a.vhd").string()});
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(checks->CheckFiles(), Hvd::kProjectNotOpen);
}

// Another program truncates the project file: the save asks, the reload cannot read it, and the
// project stays in memory as it was while the save, and a close that saves, answer the failure
// and write nothing. Told not to read it in, the save writes the project over it.
TEST_F(ProjectOpenSaveTest, AReloadThatCannotReadKeepsTheProjectAndFailsTheSave) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  WriteText(m_dir / "b.vhd", "entity b is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd", "mine");
  Add(m_dir / "b.vhd");
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  const Strings files{(m_dir / "a.vhd").string(), (m_dir / "b.vhd").string()};
  const std::string saved = ReadText(m_file);
  const std::string truncated = saved.substr(0, saved.size() / 2);
  auto truncate = [&] {
    fs::resize_file(m_file, truncated.size());
    Port_MsgManData::ClearCaptured();
  };
  auto unchanged = [&] {
    EXPECT_TRUE(IsOpen());
    EXPECT_EQ(FileNames(), files);
    EXPECT_EQ(ReadText(m_file), truncated);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, m_file.string()));
  };

  truncate();
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kProjectNotOpened);
  unchanged();
  // The change is still noticed: the next save asks again rather than writing over it.
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(m_project->Save(), Hvd::kProjectNotOpened);
  unchanged();

  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::answers 2", nullptr, false, nullptr), Hvd::kSuccess);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("b.vhd"), std::string::npos);
  EXPECT_NE(ReadText(m_file).find("mine"), std::string::npos);

  // A close with a change to save does not write it over the file it could not read.
  truncate();
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", "ours");
  EXPECT_EQ(m_project->ProjectClose(true), Hvd::kProjectNotOpened);
  EXPECT_EQ(ReadText(m_file), truncated);
}

// A save writes a backslash as a folder separator: a file or folder name holding one is refused
// when a file is added, with nothing added, and a stored project naming such a file opens with
// a warning naming it.
TEST_F(ProjectOpenSaveTest, ABackslashInAFileOrFolderNameIsRefusedAtAddAndWarnedAtOpen) {
  fs::create_directories(m_dir / "src" / "x\\y");
  WriteText(m_dir / "src" / "a\\b.vhd", "entity ab is end;\n");
  WriteText(m_dir / "src" / "x\\y" / "c.vhd", "entity c is end;\n");
  WriteText(m_dir / "src" / "d.vhd", "entity d is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  for (const fs::path& refused : {m_dir / "src" / "a\\b.vhd", m_dir / "src" / "x\\y" / "c.vhd"}) {
    Port_MsgManData::ClearCaptured();
    AutoRelease<Hvd::IHdlFile> file;
    EXPECT_EQ(Files()->ProjectAddFile(refused.c_str(), nullptr, file.Receive()), Hvd::kInvalidParameter);
    EXPECT_FALSE(file);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, refused.string())) << refused;
  }
  EXPECT_TRUE(FileNames().empty());
  Add(m_dir / "src" / "d.vhd");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);

  // Another writer named the file with a backslash: the open keeps it, and says so.
  std::string text = ReadText(m_file);
  const auto at = text.find("src/d.vhd");
  ASSERT_NE(at, std::string::npos) << text;
  WriteText(m_file, text.replace(at, 9, "src/a\\b.vhd"));
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(FileNames(), Strings{(m_dir / "src" / "a\\b.vhd").string()});
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, (m_dir / "src" / "a\\b.vhd").string()));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, m_file.string()));
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// What no project file can hold, not even as a character reference (a control character but tab,
// line feed and carriage return; U+FFFE), is refused where it comes in, named with its controls
// escaped, and nothing changes: the project saves and opens again as it was. Of a file in the
// project's folder only the part the project file holds counts, not the folder's own name.
TEST_F(ProjectOpenSaveTest, WhatNoProjectFileCanHoldIsRefusedWhereItComesIn) {
  WriteText(m_dir / "ok.vhd", "entity ok is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "ok.vhd", "mine");
  Hvd::PropertyAccessor properties(m_project.Get());
  properties.SetPropertyValue("PROP_ProjectDescription", "kept");
  AutoRelease<Hvd::IPropertyInstance> description = properties.GetPropertyInstance("PROP_ProjectDescription");
  AutoRelease<Hvd::ISourceLibrary> mine;
  ASSERT_TRUE(description && Libraries()->FindSourceLibrary("mine", mine.Receive()) == Hvd::kSuccess && mine);
  const auto libraries = [this] {
    AutoRelease<Hvd::ISourceLibraryIterator> at;
    std::size_t count = 0;
    for (std::ignore = Libraries()->GetSourceLibraries(at.Receive()); at && !at->IsDone(); std::ignore = at->Next())
      ++count;
    return count;
  };
  const struct {
    const char* bad;
    const char* shown;
    const char* named;
  } kCases[] = {{"\x01", "\\x01", "the control character \\x01"},
                {"\x1b", "\\x1b", "the control character \\x1b"},
                {"\xef\xbf\xbe", "\xef\xbf\xbe", "the character U+FFFE"}};
  for (const auto& each : kCases) {
    const std::string name = std::string("a") + each.bad + "b";
    const fs::path source = m_dir / (name + ".vhd");
    WriteText(source, "entity ab is end;\n");
    const auto refused = [&](Hvd::Status status, const char* where) {
      EXPECT_EQ(status, Hvd::kInvalidParameter) << where << " " << each.shown;
      EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, std::string("a") + each.shown + "b")) << where;
      EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, std::string("holds ") + each.named)) << where;
      Port_MsgManData::ClearCaptured();
    };
    AutoRelease<Hvd::IHdlFile> file, read;
    refused(Files()->ProjectAddFile(source.c_str(), nullptr, file.Receive()), "add");
    refused(Internal()->ProjectAddFile(source.c_str(), nullptr, read.Receive()), "the readers' add");
    EXPECT_FALSE(file || read);
    AutoRelease<Hvd::ISourceLibrary> library;
    refused(Libraries()->CreateSourceLibrary(name.c_str(), library.Receive()), "library");
    EXPECT_FALSE(library);
    refused(AutoCast<Prjrep::IName>(mine.Get())->SetName(name.c_str()), "rename");
    refused(description->SetValue(name.c_str()), "description");
  }
  const auto asItWas = [&](const char* when) {
    EXPECT_EQ(FileNames(), Strings{(m_dir / "ok.vhd").string()}) << when;
    EXPECT_EQ(LibraryOf(File(m_dir / "ok.vhd")), "mine") << when;
    EXPECT_EQ(libraries(), 2u) << when;
    EXPECT_EQ(Property("PROP_ProjectDescription"), "kept") << when;
  };
  asItWas("refused");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  asItWas("reopened");
  ASSERT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  const fs::path folder = m_root / "q\x1b";
  WriteText(folder / "q.vhd", "entity q is end;\n");
  ASSERT_EQ(Open(folder / "q.xhlc"), Hvd::kSuccess);
  Add(folder / "q.vhd");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  ASSERT_EQ(Open(folder / "q.xhlc"), Hvd::kSuccess);
  EXPECT_EQ(FileNames(), Strings{(folder / "q.vhd").string()});
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  // The project's own name is written into its generated file: a new one so named is not made.
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Open(m_root / "p\x1b.xhlc"), Hvd::kInvalidParameter);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "p\\x1b.xhlc\" cannot be made"));
  EXPECT_FALSE(fs::exists(m_root / "p\x1b.xhlc"));
  EXPECT_FALSE(fs::exists(m_root / "p\x1b.ghlc"));

  // A name that is not UTF-8 would be read back as another, a file the project no longer finds.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  WriteText(m_dir / "caf\xe9.vhd", "entity cafe is end;\n");
  AutoRelease<Hvd::IHdlFile> latin;
  EXPECT_EQ(Files()->ProjectAddFile((m_dir / "caf\xe9.vhd").c_str(), nullptr, latin.Receive()), Hvd::kInvalidParameter);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "the byte \\xe9, which is not UTF-8"));
  EXPECT_FALSE(latin);
  EXPECT_EQ(FileNames(), Strings{(m_dir / "ok.vhd").string()});
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// Tab, carriage return and delete are control characters a project file holds: in file and
// library names and in the description they are saved and read back as they were.
TEST_F(ProjectOpenSaveTest, TabCarriageReturnAndDeleteAreSavedAndReadBack) {
  Strings names;
  for (const char* odd : {"\t", "\r", "\x7f"}) {
    names.push_back((m_dir / (std::string("a") + odd + "b.vhd")).string());
    WriteText(names.back(), "entity ab is end;\n");
  }
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  AutoRelease<Hvd::ISourceLibrary> library;
  ASSERT_EQ(Libraries()->CreateSourceLibrary("l\tx\ry\x7f", library.Receive()), Hvd::kSuccess);
  for (const std::string& name : names) {
    Add(name);
    ASSERT_EQ(AutoCast<Hvd::ISourceLibraryMember>(File(name))->SetLibrary(library.Get()), Hvd::kSuccess);
  }
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", "d\te\rf\x7f");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Strings read = FileNames();
  std::sort(read.begin(), read.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(read, names);
  for (const std::string& name : names) EXPECT_EQ(LibraryOf(File(name)), "l\tx\ry\x7f") << name;
  EXPECT_EQ(Property("PROP_ProjectDescription"), "d\te\rf\x7f");
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A project file or generated file that another program wrote with a character no XML file
// holds fails its read with an error that names the file, and the line and column.
TEST_F(ProjectOpenSaveTest, AFileHoldingWhatNoProjectFileCanHoldIsNamedWhereItFailsToRead) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", "mark");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  const fs::path generated = m_dir / "p.ghlc";
  for (const fs::path& file : {generated, m_file}) {
    std::string text = ReadText(file);
    const auto at = text.find(file == m_file ? "mark" : "p.xhlc");
    ASSERT_NE(at, std::string::npos) << file;
    WriteText(file, text.insert(at + 1, "\x1b"));
    Port_MsgManData::ClearCaptured();
    const Hvd::Status opened = Open(m_file);
    EXPECT_EQ(opened == Hvd::kSuccess, file == generated) << file;  // the generated file is not needed
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "while parsing file " + file.string())) << file;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "invalid character 0x1B")) << file;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, " on line ")) << file;
    std::ignore = m_project->ProjectClose(false);
  }
}

// The working directory moves the generated file; the project file stays and records it.
TEST_F(ProjectOpenSaveTest, WorkingDirectoryMoves) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Text generated;
  auto paths = AutoCast<Hvd::IProject3>(m_project.Get());
  EXPECT_EQ(paths->ChangeWorkingDirectory((m_dir / "impl/run 1").c_str(), true, false), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_directory(m_dir / "impl/run 1"));
  EXPECT_EQ(Property("PROP_WorkingDirectory"), "impl/run 1");
  ASSERT_EQ(paths->GetGeneratedFilePath(&generated), Hvd::kSuccess);
  EXPECT_EQ(generated.str(), (m_dir / "impl/run 1/p.ghlc").string());
  EXPECT_NE(ReadText(m_file).find("impl/run 1"), std::string::npos);
  // A file in the way changes nothing.
  WriteText(m_dir / "taken", "x");
  EXPECT_EQ(paths->ChangeWorkingDirectory((m_dir / "taken").c_str(), true, false), Hvd::kFailure);
  EXPECT_EQ(Property("PROP_WorkingDirectory"), "impl/run 1");
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);

  // Opened again, the generated file is looked for in the working directory read.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  paths = AutoCast<Hvd::IProject3>(m_project.Get());
  ASSERT_EQ(paths->GetGeneratedFilePath(&generated), Hvd::kSuccess);
  EXPECT_EQ(generated.str(), (m_dir / "impl/run 1/p.ghlc").string());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  // A closed project is not moved: nothing is made for it.
  EXPECT_EQ(paths->ChangeWorkingDirectory((m_dir / "elsewhere").c_str(), true, false), Hvd::kProjectNotOpen);
  EXPECT_FALSE(fs::exists(m_dir / "elsewhere"));
}

// An open project is the active one of the repository named by its project file, with its
// helpers' objects; it moves with the working directory, leaves on close, and the repository
// writes no file of its own.
TEST_F(ProjectOpenSaveTest, OpenProjectIsActiveInItsRepository) {
  const auto root = [](CitI::IInterface* object) {
    return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
  };
  const auto active = [&] { return root(Hvd::GetActiveProjectOfRepository(m_file.c_str()).Get()); };
  const auto hlcFiles = [&] {
    int count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_root))
      count += entry.path().extension() == ".hlc";
    return count;
  };
  fs::copy_file(kData / "notxml.xhlc", m_file);
  EXPECT_EQ(Open(m_file), Hvd::kProjectNotOpened);
  EXPECT_EQ(active(), nullptr);  // nothing read, nothing registered
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  fs::remove(m_file);

  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  const std::string written = ReadText(m_file);
  EXPECT_EQ(active(), root(m_project.Get()));
  EXPECT_EQ(root(Hvd::GetActiveProjectOfObject(m_project.Get()).Get()), root(m_project.Get()));
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(m_project.Get());
  ASSERT_TRUE(repository);
  AutoRelease<CitI::IInterface> helper(CitP::Factory::CreateInstance(Prjrep::ClassId::NameObject()));
  ASSERT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), Hvd::kSuccess);

  auto paths = AutoCast<Hvd::IProject3>(m_project.Get());
  EXPECT_EQ(paths->ChangeWorkingDirectory((m_dir / "impl").c_str(), false, false), Hvd::kSuccess);
  AutoRelease<Prjrep::IProjectRepository> moved = Hvd::GetRepositoryOfObject(m_project.Get());
  AutoRelease<CitI::IInterface> found;
  ASSERT_TRUE(moved);
  EXPECT_EQ(Hvd::FindNamedObjectIn(moved.Get(), "CvfProject", found.Receive()), Hvd::kSuccess);
  EXPECT_EQ(root(found.Get()), root(helper.Get()));
  EXPECT_EQ(active(), root(m_project.Get()));

  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(active(), nullptr);
  EXPECT_EQ(ReadText(m_file), written);
  EXPECT_EQ(hlcFiles(), 0);
  // Opened again, it is the active project once more.
  ASSERT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->Reopen(m_file.c_str()), Hvd::kSuccess);
  EXPECT_EQ(active(), root(m_project.Get()));
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(active(), nullptr);
}

// Asked for the older generation's storage, the repository is kept in the file the project was
// opened as, and written there by a forced save and the close, but never over the project file.
TEST_F(ProjectOpenSaveTest, OlderStorageIsTheFileAsOpened) {
  ASSERT_EQ(setenv("VEL_CORVANE_ENABLE_HLC", "1", 1), 0);
  const fs::path hlc = m_dir / "p.hlc";
  const auto identity = [](CitI::IInterface* object) {
    return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
  };
  // Opened as its .xhlc: the repository is known by that name, and is never written over it.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ProjectOpenRepository opening with " + m_file.string()));
  AutoRelease<Hvd::IProject> active = Hvd::GetActiveProjectOfRepository(m_file.c_str());
  EXPECT_TRUE(active && identity(active.Get()) == identity(m_project.Get()));
  active.Assign(nullptr);
  // The project's objects, which go by its repository path, reach the same repository.
  EXPECT_EQ(identity(Hvd::GetRepositoryOfObject(m_project.Get()).Get()),
            identity(Hvd::FindAutonymByName(m_file.c_str(), false).Get()));
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_FALSE(fs::exists(hlc));
  const std::string saved = ReadText(m_file);
  EXPECT_NE(saved.find("<project"), std::string::npos);

  // Opened as the older name of the same project: the repository is that file, written by the
  // forced save and by the close.
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(Open(hlc), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "ProjectOpenRepository opening with " + hlc.string()));
  active = Hvd::GetActiveProjectOfRepository(hlc.c_str());
  EXPECT_TRUE(active && identity(active.Get()) == identity(m_project.Get()));
  active.Assign(nullptr);
  EXPECT_FALSE(fs::exists(hlc));
  EXPECT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_regular_file(hlc));  // the forced save writes it
  fs::remove(hlc);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_regular_file(hlc));  // and so does the close
  EXPECT_FALSE(Hvd::GetActiveProjectOfRepository(hlc.c_str()));
  EXPECT_EQ(ReadText(m_file), saved);
  unsetenv("VEL_CORVANE_ENABLE_HLC");
}

// A save drops the automatically managed files that nothing includes any more.
TEST_F(ProjectOpenSaveTest, StaleManagedFilesGoBeforeTheSave) {
  WriteText(m_dir / "top.v", "module top; endmodule\n");
  WriteText(m_dir / "used.vh", "`define W 4\n");
  WriteText(m_dir / "stale.vh", "`define V 4\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "top.v");
  Add(m_dir / "used.vh");
  Add(m_dir / "stale.vh");
  for (const char* name : {"used.vh", "stale.vh"})
    ASSERT_EQ(AutoCast<Hvd::IFile>(File(m_dir / name))->SetOriginState(3), Hvd::kSuccess);
  AutoRelease<Hvd::IHdlFile> child;
  ASSERT_EQ(AutoCast<Hvd::IHdlFileV4>(File(m_dir / "top.v"))
                ->AddChildFileByName(0, (m_dir / "used.vh").c_str(), child.Receive()),
            Hvd::kSuccess);
  EXPECT_EQ(m_project->Save(), Hvd::kSuccess);
  EXPECT_EQ(FileNames(), (Strings{(m_dir / "top.v").string(), (m_dir / "used.vh").string()}));
  EXPECT_EQ(ReadText(m_file).find("stale.vh"), std::string::npos);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->CleanupAutoManagedFiles(), Hvd::kProjectNotOpen);
}

// A device this installation does not know is asked about; the value, read from the file,
// reaches the question as text and is never run.
TEST_F(ProjectOpenSaveTest, UnknownDeviceIsAskedAbout) {
  const std::string device = "LM2-45 [set ::ran 1] $x";
  WriteText(m_file, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<project xmlns=\"http://www.velmor.com/XMLSchema\" "
                                "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
                                "  <version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/>\n"
                                "  <properties>\n"
                                "    <property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta\"/>\n"
                                "    <property vel_kv:name=\"Device\" vel_kv:value=\"") +
                        device + "\"/>\n  </properties>\n</project>\n");
  const std::string before = ReadText(m_file);
  // The questions of earlier tests in the same process are forgotten first.
  ASSERT_EQ(InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs; set ::velmor::Hvd::answers 2; set ::ran 0", nullptr,
                               false, nullptr),
            Hvd::kSuccess);
  EXPECT_EQ(Open(m_file), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());
  Text asked;
  ASSERT_EQ(InterpHelp::RunCmd("lindex $::velmor::Hvd::asked 0", nullptr, false, &asked), Hvd::kSuccess);
  EXPECT_EQ(asked.str().rfind("The Device is currently set to \"" + device + "\", which is not valid", 0), 0u)
      << asked.str();
  Text ran;
  ASSERT_EQ(InterpHelp::RunCmd("set ::ran", nullptr, false, &ran), Hvd::kSuccess);
  EXPECT_EQ(ran.str(), "0");
  EXPECT_EQ(ReadText(m_file), before);
  // Answered yes (the default), the project opens.
  EXPECT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A labelled property counts only under its label: the device a file keeps under the plain
// names is not checked, while the project's own files keep every labelled property under its label.
TEST_F(ProjectOpenSaveTest, LabelledPropertiesAreReadUnderTheirLabelsOnly) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  AutoRelease<Hvd::IProjectInfo> info(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectInfo()));
  ASSERT_TRUE(info);
  ASSERT_EQ(info->ReadProjectData(m_file.c_str()), Hvd::kSuccess);
  for (const char* name :
       {"PROP_DevFamily", "PROP_DevDevice", "PROP_DevPackage", "PROP_DevSpeed", "PROP_Simulator", "PROP_Synthesis_Tool"}) {
    AutoRelease<Hvd::IPropertyInstance> property;
    EXPECT_EQ(info->GetProperty(name, property.Receive()), Hvd::kSuccess) << name;
  }

  WriteText(m_file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<project xmlns=\"http://www.velmor.com/XMLSchema\" "
                    "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
                    "  <version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/>\n"
                    "  <properties>\n"
                    "    <property vel_kv:name=\"PROP_DevFamily\" vel_kv:value=\"Orvanta\"/>\n"
                    "    <property vel_kv:name=\"PROP_DevDevice\" vel_kv:value=\"NoSuchDevice\"/>\n"
                    "  </properties>\n</project>\n");
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::answers 2; set ::velmor::Hvd::asked {}", nullptr, false, nullptr),
            Hvd::kSuccess);
  EXPECT_EQ(Open(m_file), Hvd::kSuccess);
  Text asked;
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &asked), Hvd::kSuccess);
  EXPECT_EQ(asked.str(), "");
  ASSERT_EQ(InterpHelp::RunCmd("set ::velmor::Hvd::answers {}", nullptr, false, nullptr), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A compile order written by hand: its files are added in its order, each into its library,
// and take the implementation order 1..n; relative names are the project file's directory's,
// and names that Tcl would read as code are only names.
TEST_F(ProjectOpenSaveTest, CompileOrderFileSetsTheOrder) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  WriteText(m_dir / "src [x] $y/b.vhd", "entity b is end;\n");
  WriteText(m_root / "elsewhere/c.v", "module c; endmodule\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "src [x] $y/b.vhd");
  const fs::path list = m_root / "order $[set ::ran 1] {x}.txt";
  WriteText(list, "# hand-written\n\na.vhd\n{src [x] $y/b.vhd} mine\n" + (m_root / "elsewhere/c.v").string() + "\n");
  auto sequence = [this](const fs::path& path) {
    std::uint64_t id = 0;
    AutoCast<Hvd::ICompileOrder> order(File(path));
    EXPECT_TRUE(order && order->GetSequenceID(2, &id) == Hvd::kSuccess) << path;
    return id;
  };
  // An earlier test in the same process may have set it.
  ASSERT_EQ(InterpHelp::RunCmd("unset -nocomplain ::ran", nullptr, false, nullptr), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile(list.c_str(), 0), Hvd::kSuccess);
  EXPECT_EQ(FileNames().size(), 3u);
  EXPECT_EQ(sequence(m_dir / "a.vhd"), 1u);
  EXPECT_EQ(sequence(m_dir / "src [x] $y/b.vhd"), 2u);
  EXPECT_EQ(sequence(m_root / "elsewhere/c.v"), 3u);
  EXPECT_EQ(LibraryOf(File(m_dir / "a.vhd")), "work");
  EXPECT_EQ(LibraryOf(File(m_dir / "src [x] $y/b.vhd")), "mine");
  Text ran;
  EXPECT_NE(InterpHelp::RunCmd("info exists ::ran", nullptr, false, &ran), Hvd::kFailure);
  EXPECT_EQ(ran.str(), "0");

  // A listed file that is missing, a line that does not read and an empty list change nothing.
  WriteText(m_root / "missing.txt", "a.vhd\nnot-there.vhd\n");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile((m_root / "missing.txt").c_str(), 0), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "Cannot find the source file: not-there.vhd"));
  EXPECT_EQ(sequence(m_dir / "a.vhd"), 1u);
  WriteText(m_root / "broken.txt", "{a.vhd\n");
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile((m_root / "broken.txt").c_str(), 0), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "Parsing errors occured while parsing the file"));
  WriteText(m_root / "empty.txt", "# nothing\n");
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile((m_root / "empty.txt").c_str(), 0), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "No files found in the customer compile order file"));
  EXPECT_NE(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile((m_root / "absent.txt").c_str(), 0), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile("", 0), Hvd::kBadParameters);
  EXPECT_EQ(FileNames().size(), 3u);
  std::string top;
  EXPECT_EQ(Order(&top).size(), 3u);  // all three placed in the views
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A listed file the project does not take (its own project file) and a line whose library cannot
// be made are each reported; every other line is applied, numbered in the order's sequence.
TEST_F(ProjectOpenSaveTest, CompileOrderLinesThatCannotBeAppliedAreReportedAndSkipped) {
  for (const char* name : {"a.vhd", "b.vhd", "c.vhd"}) WriteText(m_dir / name, "-- source\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  const fs::path list = m_root / "order.txt";
  WriteText(list, "a.vhd\np.xhlc\nb.vhd {}\nc.vhd mine\n");
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ParseCompileOrderFile(list.c_str(), 0), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "Occured while adding the file: p.xhlc\n"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "Unable to create the library: \n"));
  Strings names = FileNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Strings{(m_dir / "a.vhd").string(), (m_dir / "b.vhd").string(), (m_dir / "c.vhd").string()}));
  const auto sequence = [this](const char* name) {
    std::uint64_t id = 0;
    AutoCast<Hvd::ICompileOrder> order(File(m_dir / name));
    EXPECT_TRUE(order && order->GetSequenceID(2, &id) == Hvd::kSuccess) << name;
    return id;
  };
  EXPECT_EQ(sequence("a.vhd"), 1u);
  EXPECT_EQ(sequence("b.vhd"), 2u) << "numbered before its library was refused";
  EXPECT_EQ(sequence("c.vhd"), 3u) << "the refused project file took no number";
  EXPECT_EQ(LibraryOf(File(m_dir / "b.vhd")), "work");
  EXPECT_EQ(LibraryOf(File(m_dir / "c.vhd")), "mine");
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A clean-up takes out what the flow left: stale generated files go from the project and, when
// they are regular files of the project, from the disk; reports of the top go; the user's files,
// kept ones, links and anything outside the project stay on disk whatever a file names.
TEST_F(ProjectOpenSaveTest, CleanUpTakesOnlyStaleGeneratedFiles) {
  WriteText(m_dir / "user.vhd", "entity user is end;\n");
  WriteText(m_dir / "gen.vhd", "entity gen is end;\n");
  WriteText(m_dir / "kept.vhd", "entity kept is end;\n");
  WriteText(m_dir / "gone.vhd", "entity gone is end;\n");
  WriteText(m_root / "outside.vhd", "entity outside is end;\n");
  fs::create_symlink(m_root / "outside.vhd", m_dir / "link.vhd");
  WriteText(m_dir / "user_summary.html", "report\n");
  WriteText(m_dir / "user_envsettings.html", "report\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "user.vhd");
  // A folder is refused as a source added by hand; one comes only as a project file names it.
  auto generated = [this](const fs::path& path, bool kept, bool named = false) {
    AutoRelease<Hvd::IHdlFile> file;
    const Hvd::Status added = named ? Internal()->ProjectAddFile(path.c_str(), nullptr, file.Receive())
                                    : Files()->ProjectAddFile(path.c_str(), nullptr, file.Receive());
    ASSERT_EQ(added, Hvd::kSuccess) << path;
    AutoCast<Hvd::IFile> asFile(file.Get());
    ASSERT_TRUE(asFile && asFile->SetOriginState(1) == Hvd::kSuccess && asFile->SetFileFlag(kept) == Hvd::kSuccess);
  };
  generated(m_dir / "gen.vhd", false);
  generated(m_dir / "kept.vhd", true);
  generated(m_dir / "gone.vhd", false);
  generated(m_dir / "link.vhd", false);
  generated(m_root / "outside.vhd", false);
  generated("/", false, true);
  if (const char* home = std::getenv("HOME"); home != nullptr && fs::is_directory(home)) generated(home, false, true);
  fs::remove(m_dir / "gone.vhd");
  std::string top;
  std::ignore = Order(&top);
  ASSERT_EQ(top, "user");
  EventCounter begins(Hvd::EventId::CleanUpBegins());
  EventCounter ends(Hvd::EventId::CleanUpEnds());
  Hvd::ConnectEventReceiver(m_project.Get(), &begins.receiver);
  Hvd::ConnectEventReceiver(m_project.Get(), &ends.receiver);

  EXPECT_EQ(m_project->ProjectCleanUp(), Hvd::kSuccess);
  EXPECT_EQ(begins.heard, 1);
  EXPECT_EQ(ends.heard, 1);
  const Strings left = FileNames();
  EXPECT_EQ(left, (Strings{(m_dir / "user.vhd").string(), (m_dir / "kept.vhd").string()}));
  EXPECT_FALSE(fs::exists(m_dir / "gen.vhd"));
  EXPECT_FALSE(fs::exists(m_dir / "user_summary.html"));
  EXPECT_FALSE(fs::exists(m_dir / "user_envsettings.html"));
  for (const fs::path& stays : {m_dir / "user.vhd", m_dir / "kept.vhd", m_root / "outside.vhd", m_file})
    EXPECT_TRUE(fs::exists(stays)) << stays;
  EXPECT_TRUE(fs::is_symlink(m_dir / "link.vhd"));
  EXPECT_TRUE(fs::is_directory("/"));
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectCleanUp(), Hvd::kProjectNotOpen);
}

// What a clean-up deletes is decided by where a file really lies: a folder link in the project
// leads nowhere outside it, and a working directory that the project file places outside the
// project (absolute, climbing out, or a link) lends no folder; one inside the project does.
TEST_F(ProjectOpenSaveTest, CleanUpDeletesOnlyWhatReallyLiesInTheProject) {
  const fs::path other = m_root / "other";
  WriteText(m_dir / "user.vhd", "entity user is end;\n");
  fs::create_symlink(other, m_dir / "gen");
  fs::create_symlink("build", m_dir / "inner");
  fs::create_symlink(other, m_dir / "wd");
  auto generated = [this](const fs::path& path) {
    AutoRelease<Hvd::IHdlFile> file;
    ASSERT_EQ(Files()->ProjectAddFile(path.c_str(), nullptr, file.Receive()), Hvd::kSuccess) << path;
    AutoCast<Hvd::IFile> asFile(file.Get());
    ASSERT_TRUE(asFile && asFile->SetOriginState(1) == Hvd::kSuccess && asFile->SetFileFlag(false) == Hvd::kSuccess);
  };
  for (const std::string& working : {std::string("impl"), other.string(), std::string("../other"), std::string("wd")}) {
    SCOPED_TRACE(working);
    WriteText(other / "keep.txt", "someone else's\n");
    WriteText(other / "victim.vhd", "entity victim is end;\n");
    WriteText(other / "user_summary.html", "someone else's report\n");
    WriteText(m_dir / "build" / "stale.vhd", "entity stale is end;\n");
    WriteText(m_dir / "impl" / "run.vhd", "entity run is end;\n");
    WriteText(m_dir / "impl" / "user_summary.html", "report\n");
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    Add(m_dir / "user.vhd");
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_WorkingDirectory", working.c_str());
    generated(m_dir / "gen" / "keep.txt");
    generated(m_dir / "inner" / "stale.vhd");
    generated(other / "victim.vhd");
    generated(m_dir / "wd" / "victim.vhd");
    if (working == "impl") generated(m_dir / "impl" / "run.vhd");
    std::string top;
    std::ignore = Order(&top);
    ASSERT_EQ(top, "user");

    EXPECT_EQ(m_project->ProjectCleanUp(), Hvd::kSuccess);
    EXPECT_EQ(FileNames(), (Strings{(m_dir / "user.vhd").string()})) << "all stale ones leave the project";
    for (const fs::path& stays : {other / "keep.txt", other / "victim.vhd", other / "user_summary.html"}) {
      EXPECT_TRUE(fs::is_regular_file(stays)) << stays;
    }
    EXPECT_FALSE(fs::exists(m_dir / "build" / "stale.vhd")) << "a link that stays inside is followed";
    EXPECT_TRUE(fs::is_symlink(m_dir / "gen") && fs::is_symlink(m_dir / "inner") && fs::is_symlink(m_dir / "wd"));
    EXPECT_EQ(fs::exists(m_dir / "impl" / "run.vhd"), working != "impl") << "a working directory inside counts";
    EXPECT_EQ(fs::exists(m_dir / "impl" / "user_summary.html"), working != "impl");
    EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  }
}

// A clean-up lets the repository's shared constraint manager drop the project's constraint
// data, from the older generation's repository as from the project's own; the rest of the
// database folder stays.
TEST_F(ProjectOpenSaveTest, CleanUpDropsTheSharedConstraintData) {
  const fs::path data = m_dir / "p_qdb" / "cst.vbcd";
  WriteText(m_dir / "p_qdb" / "tmp" / "hlc", "lock\n");
  for (const bool older : {true, false}) {
    SCOPED_TRACE(older ? "older repository" : "the project's repository");
    if (older) {
      ASSERT_EQ(setenv("VEL_CORVANE_ENABLE_HLC", "1", 1), 0);
    }
    WriteText(data, "compiled\n");
    // The older generation's storage is the file the project is opened as: its older name.
    ASSERT_EQ(Open(older ? m_dir / "p.hlc" : m_file), Hvd::kSuccess);
    AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(m_project.Get());
    AutoRelease<Prjrep::IAutonym> kind(CitP::Factory::CreateInstance(Hvd::SharedConstraintMgrClassId()));
    AutoRelease<CitI::IInterface> found;
    ASSERT_TRUE(repository && kind);
    ASSERT_EQ(AutoCast<Prjrep::IAutonymLookup>(repository.Get())->ResolveOrCreate(kind, repository, found.Receive()),
              Hvd::kSuccess);
    AutoCast<Hvd::ISharedConstraintMgr> manager(found.Get());
    ASSERT_TRUE(manager);
    Text held;
    EXPECT_TRUE(manager->GetConstraintData(&held) == Hvd::kSuccess && held.str() == "compiled\n");

    EXPECT_EQ(m_project->ProjectCleanUp(), Hvd::kSuccess);
    EXPECT_FALSE(fs::exists(data));
    EXPECT_TRUE(fs::exists(m_dir / "p_qdb" / "tmp" / "hlc"));
    EXPECT_TRUE(manager->GetConstraintData(&held) == Hvd::kSuccess && held.empty());
    EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
    unsetenv("VEL_CORVANE_ENABLE_HLC");
  }
}

// A copy answers whether its project file was written, and takes its own description and
// working directory, made beside the copy, while the project keeps its own.
TEST_F(ProjectOpenSaveTest, CopiesAnswerTheWrite) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", "mine");
  EXPECT_EQ(Internal()->ProjectWriteAs((m_dir / "as").c_str(), nullptr), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_regular_file(m_dir / "as.xhlc"));
  EXPECT_TRUE(fs::is_regular_file(m_dir / "as.ghlc"));
  EXPECT_EQ(Internal()->ProjectWriteCopy((m_root / "copy" / "c.xhlc").c_str(), nullptr, "theirs", "work dir", "",
                                         true),
            Hvd::kSuccess);
  EXPECT_TRUE(fs::is_regular_file(m_root / "copy" / "c.xhlc"));
  EXPECT_TRUE(fs::is_regular_file(m_root / "copy" / "work dir" / "c.ghlc"));
  EXPECT_FALSE(fs::exists(fs::current_path() / "work dir"));
  const std::string copy = ReadText(m_root / "copy" / "c.xhlc");
  EXPECT_NE(copy.find("theirs"), std::string::npos);
  EXPECT_NE(copy.find("work dir"), std::string::npos);
  EXPECT_EQ(Property("PROP_ProjectDescription"), "mine");
  EXPECT_EQ(Property("PROP_WorkingDirectory"), ".");

  fs::create_directories(m_root / "locked");
  fs::permissions(m_root / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  if (::access((m_root / "locked").c_str(), W_OK) != 0) {  // root writes anywhere
    EXPECT_EQ(Internal()->ProjectWriteAs((m_root / "locked" / "p.xhlc").c_str(), nullptr), Hvd::kProjectReadOnly);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "does not have write permissions"));
  }
  fs::permissions(m_root / "locked", fs::perms::owner_all);
  // A write that fails is answered as such, and leaves no copy behind.
  {
    Port::FaultInjection::Scope faults;
    Port::FaultInjection::Fail("rename", 0, "failed.xhlc");
    EXPECT_NE(Internal()->ProjectWriteAs((m_dir / "failed").c_str(), nullptr), Hvd::kSuccess);
    EXPECT_NE(Internal()->ProjectWriteCopy((m_root / "copy" / "failed.xhlc").c_str(), nullptr, "", "", "", true),
              Hvd::kSuccess);
  }
  EXPECT_FALSE(fs::exists(m_dir / "failed.xhlc"));
  EXPECT_FALSE(fs::exists(m_root / "copy" / "failed.xhlc"));
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

}  // namespace
}  // namespace xhlc_test

namespace xhlc_test {
namespace {

// Runs `work` on a thread of its own. Should it still run after ten seconds, waiting on the FIFO
// `fifo`, the FIFO is opened at both ends and closed again until `work` returns, so that the test
// fails instead of hanging. True when `work` returned without that.
bool DoneWithoutWaitingOn(const fs::path& fifo, const std::function<void()>& work) {
  std::atomic<bool> done{false};
  std::thread worker([&] {
    work();
    done = true;
  });
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const bool waited = !done;
  const auto before = std::signal(SIGPIPE, SIG_IGN);  // a released writer writes into a closed pipe
  while (!done) {
    if (const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC); fd >= 0) ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  worker.join();
  std::signal(SIGPIPE, before);
  return !waited;
}

// A FIFO at the name of the generated-project file or of the parser's log, as a received project
// folder may hold, is replaced by the file, never waited on.
TEST_F(ProjectOpenSaveTest, AFifoAtTheNameOfAFileTheProjectWritesIsNotWaitedOn) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  const fs::path generated = m_dir / "p.ghlc", log = m_dir / "hdlparser.log";
  fs::remove(generated);
  ASSERT_EQ(::mkfifo(generated.c_str(), 0600), 0);
  Hvd::Status saved = Hvd::kFailure;
  EXPECT_TRUE(DoneWithoutWaitingOn(generated, [&] { saved = AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(); }));
  EXPECT_EQ(saved, Hvd::kSuccess);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(generated)));

  fs::remove(log);
  ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
  std::string top;
  EXPECT_TRUE(DoneWithoutWaitingOn(log, [&] {
    Add(m_dir / "a.vhd");
    std::ignore = Order(&top);
  }));
  EXPECT_EQ(top, "a");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(log)));
}

// The generated-project file is written through a link only to a regular file in the project's
// folder; a link out of it is replaced by the file, with a warning, and its target is left alone.
TEST_F(ProjectOpenSaveTest, TheGeneratedFileFollowsALinkOnlyToARegularFileInTheProjectsFolder) {
  const fs::path generated = m_dir / "p.ghlc", inside = m_dir / "sub" / "kept.ghlc", outside = m_root / "user.txt";
  WriteText(inside, "old");
  WriteText(outside, "the user's");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  fs::remove(generated);
  fs::create_symlink("sub/kept.ghlc", generated);
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_symlink(generated));
  EXPECT_NE(ReadText(inside).find("<?xml"), std::string::npos);

  fs::remove(generated);
  fs::create_symlink(outside, generated);
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  EXPECT_FALSE(fs::is_symlink(generated));
  EXPECT_NE(ReadText(generated).find("<?xml"), std::string::npos);
  EXPECT_EQ(ReadText(outside), "the user's");
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "\"" + generated.string() + "\" is a link to \"" +
                                                               outside.string() + "\", outside the folder"));
}

// A project file that is a link to nothing is not made where the link leads.
TEST_F(ProjectOpenSaveTest, ADanglingLinkIsNoNewProjectFile) {
  const fs::path link = m_dir / "d.xhlc", away = m_root / "made.xhlc";
  fs::create_symlink(away, link);
  EXPECT_EQ(Open(link), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());
  EXPECT_FALSE(fs::exists(away));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "The project file \"" + link.string() + "\" is a link to nothing"));
}

// A working directory that the project file names outside the project's folder is not made by
// the open: the project's folder stands in, a warning says so, and the file keeps the value. One
// inside the folder is made as ever.
TEST_F(ProjectOpenSaveTest, AWorkingDirectoryOutsideTheProjectIsNotMadeByTheOpen) {
  // An absolute value is kept in the file relative to the project's folder.
  const std::pair<std::string, std::string> values[] = {{"../elsewhere/run", "../elsewhere/run"},
                                                        {(m_root / "absolute/run").string(), "../absolute/run"}};
  for (const auto& [given, stored] : values) {
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_WorkingDirectory", given.c_str());
    ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
    Port_MsgManData::ClearCaptured();
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Warning, "The working directory \"" + stored + "\" of \"" +
                                                                 m_file.string() + "\" lies outside the project's folder"))
        << stored;
    Text generated;
    ASSERT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->GetGeneratedFilePath(&generated), Hvd::kSuccess);
    EXPECT_EQ(generated.str(), (m_dir / "p.ghlc").string());
    ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
    Strings names;
    for (const auto& entry : fs::directory_iterator(m_root)) names.push_back(entry.path().filename());
    EXPECT_EQ(names, Strings{"proj"}) << stored;
    EXPECT_NE(ReadText(m_file).find(stored), std::string::npos) << stored;
  }
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_WorkingDirectory", "run");
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_directory(m_dir / "run"));
  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_TRUE(fs::is_regular_file(m_dir / "run" / "p.ghlc"));
}

// The project's autonym saves and closes the project it names, through the project helper that
// opened it when there is one; and the project hands out that helper, or none when it was
// opened on its own. Neither does anything to a closed project.
TEST_F(ProjectOpenSaveTest, TheAutonymSavesAndClosesTheProjectAndTheProjectNamesItsHelper) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
  const auto autonymOf = [](Hvd::IProject* project) {
    AutoRelease<Prjrep::IAutonym> autonym;
    EXPECT_EQ(AutoCast<Prjrep::IAutoNaming>(project)->GetAutonym(autonym.Receive()), Hvd::kSuccess);
    return AutoRelease<Prjrep::ISaveAutonym>(std::move(autonym));
  };
  const auto helperOf = [](Hvd::IProject* project, Hvd::Status expected) {
    AutoCast<Hvd::IProjectHelperReference> reference(project);
    EXPECT_TRUE(reference && reference->GetCvfProject(nullptr) == Hvd::kFailure);
    AutoRelease<Hvd::IProjectHelper> helper;
    EXPECT_EQ(reference->GetCvfProject(helper.Receive()), expected);
    return helper;
  };

  // Opened on its own: no helper; the autonym saves and closes the project itself.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_FALSE(helperOf(m_project.Get(), Hvd::kFailure));
  AutoRelease<Prjrep::ISaveAutonym> own = autonymOf(m_project.Get());
  ASSERT_TRUE(own);
  Hvd::PropertyAccessor(m_project.Get()).SetPropertyValue("PROP_ProjectDescription", "saved by its autonym");
  EXPECT_EQ(own->SaveObject(nullptr), Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("saved by its autonym"), std::string::npos);
  EXPECT_EQ(own->CloseObject(nullptr), Hvd::kSuccess);
  EXPECT_FALSE(IsOpen());
  const Stamp closed = StampOf(m_file);
  EXPECT_EQ(own->SaveObject(nullptr), Hvd::kSuccess);
  EXPECT_EQ(own->CloseObject(nullptr), Hvd::kSuccess);
  EXPECT_EQ(StampOf(m_file), closed) << "a closed project is neither saved nor closed again";
  own = nullptr;

  // Opened by the helper, as the suite opens one: the project names that helper, and the
  // autonym saves and closes through it.
  AutoRelease<Hvd::IProjectHelper> opener(CitP::Factory::CreateInstance(Hvd::ProjectHelperClassId()));
  ASSERT_TRUE(opener);
  ASSERT_EQ(AutoCast<Hvd::IProjectHelper2>(opener.Get())->OpenProject(m_file.c_str()), Hvd::kSuccess);
  AutoRelease<CitI::IInterface> opened;
  ASSERT_EQ(opener->GetProject(opened.Receive()), Hvd::kSuccess);
  AutoCast<Hvd::IProject> project(opened.Get());
  ASSERT_TRUE(project);
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(project.Get())->SetSaveDelay(0), Hvd::kSuccess);
  AutoRelease<Hvd::IProjectHelper> named = helperOf(project.Get(), Hvd::kSuccess);
  EXPECT_EQ(Hvd::RootOf(named.Get()), Hvd::RootOf(opener.Get()));
  AutoRelease<Prjrep::ISaveAutonym> autonym = autonymOf(project.Get());
  ASSERT_TRUE(autonym);
  Hvd::PropertyAccessor(project.Get()).SetPropertyValue("PROP_ProjectDescription", "saved through the helper");
  EXPECT_EQ(autonym->SaveObject(nullptr), Hvd::kSuccess);
  EXPECT_NE(ReadText(m_file).find("saved through the helper"), std::string::npos);
  EXPECT_EQ(autonym->CloseObject(nullptr), Hvd::kSuccess);
  bool open = true;
  EXPECT_TRUE(project->IsOpen(&open) == Hvd::kSuccess && !open);
  AutoRelease<CitI::IInterface> bound;
  EXPECT_EQ(opener->GetProject(bound.Receive()), Hvd::kFailure) << "the helper let the project go";
  EXPECT_EQ(autonym->SaveObject(nullptr), Hvd::kSuccess);
}

// A view's hint is the role the reconfiguration project gives it, and its files of one type are
// a Tcl list of their full paths, whatever the names hold.
TEST_F(ProjectOpenSaveTest, AViewTellsItsHintAndListsItsFilesOfAType) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Cvf"));
  const fs::path vhdl = m_dir / "a {b} [c] $d.vhd", other = m_dir / "e f.vhd", verilog = m_dir / "g.v";
  WriteText(vhdl, "entity a is end;\n");
  WriteText(other, "entity e is end;\n");
  WriteText(verilog, "module g; endmodule\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Hvd::IDesign* design = nullptr;
  ASSERT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
  const auto viewOf = [design](const char* hint) {
    AutoRelease<Hvd::IViewIterator> at;
    EXPECT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint(hint, at.Receive()), Hvd::kSuccess);
    return at && !at->IsDone() ? at->Current() : nullptr;  // the design holds it
  };
  Hvd::IView* synthesis = viewOf("SynthesisOnly");
  Hvd::IView* simulation = viewOf("BehavioralSim");
  ASSERT_TRUE(synthesis && simulation);
  const auto tclOf = [](Hvd::IView* view, const char* type) {
    AutoCast<Hvd::IViewTclHelper> helper(view);
    EXPECT_TRUE(helper);
    return helper ? helper->GetFilesOfType(type).str() : std::string();
  };
  EXPECT_EQ(tclOf(synthesis, "FILE_VHDL"), "") << "no files";

  for (const fs::path& path : {vhdl, other, verilog}) Add(path);
  for (Hvd::IView* view : {synthesis, simulation}) {
    Text listed;
    ASSERT_EQ(InterpHelp::RunCmd(("lsort [list " + tclOf(view, "FILE_VHDL") + "]").c_str(), nullptr, false, &listed),
              Hvd::kSuccess);
    Text wanted;
    ASSERT_EQ(InterpHelp::RunCmd(("lsort [list {" + vhdl.string() + "} {" + other.string() + "}]").c_str(), nullptr,
                                 false, &wanted),
              Hvd::kSuccess);
    EXPECT_EQ(listed.str(), wanted.str());
    EXPECT_EQ(tclOf(view, "FILE_VERILOG"), verilog.string() + " ");
    EXPECT_EQ(tclOf(view, "FILE_Verilog"), "") << "the type is compared exactly";
  }

  Text hint("stale");
  EXPECT_TRUE(Hvd::CView::GetViewHint(synthesis, &hint) == Hvd::kSuccess && hint.str() == "SynthesisOnly");
  EXPECT_TRUE(Hvd::CView::GetViewHint(simulation, &hint) == Hvd::kSuccess && hint.str() == "BehavioralSim");
  EXPECT_EQ(Hvd::CView::GetViewHint(nullptr, &hint), Hvd::kBadParameters);
  // A view on no design has no project to ask.
  AutoRelease<Hvd::IView> loose(CitP::Factory::CreateInstance(Hvd::ClassId::View()));
  ASSERT_TRUE(loose);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Hvd::CView::GetViewHint(loose, &hint), Hvd::kFailure);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "CView::GetViewHint() - PDesign backpointer is not defined."));
}

// A source taken out of one view through the view's files and then off the disk is saved with
// the views it was still in, and goes back into those when it is back.
TEST_F(ProjectOpenSaveTest, ASourceOffTheDiskKeepsTheViewsItWasInWhenItWent) {
  const fs::path leaf = m_dir / "leaf.v", away = m_dir / "leaf.v.away";
  WriteText(leaf, "module leaf; endmodule\n");
  WriteText(m_dir / "top.v", "module top; leaf u(); endmodule\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(leaf);
  Add(m_dir / "top.v");
  // The view of `hint` as a file set, and an iterator of it on the leaf (done when it lacks it).
  const auto leafIn = [&](const char* hint, AutoCast<Hvd::IFileSet>* files, AutoRelease<Hvd::IFileIterator>* at) {
    Hvd::IDesign* design = nullptr;
    AutoRelease<Hvd::IViewIterator> view;
    EXPECT_EQ(m_project->GetDesign(&design), Hvd::kSuccess);
    EXPECT_EQ(AutoCast<Hvd::IViewManager>(design)->FindViewByHint(hint, view.Receive()), Hvd::kSuccess);
    *files = AutoCast<Hvd::IFileSet>(view && !view->IsDone() ? view->Current() : nullptr);
    EXPECT_TRUE(*files && (*files)->GetIterator(at->Receive()) == Hvd::kSuccess && *at);
    while (*at && !(*at)->IsDone() && (*at)->Current() != AutoCast<Hvd::IFile>(File(leaf)).Get())
      std::ignore = (*at)->Next();
  };
  const auto holdsLeaf = [&](const char* hint) {
    AutoCast<Hvd::IFileSet> files(nullptr);
    AutoRelease<Hvd::IFileIterator> at;
    leafIn(hint, &files, &at);
    return at && !at->IsDone();
  };
  {
    AutoCast<Hvd::IFileSet> simulation(nullptr);
    AutoRelease<Hvd::IFileIterator> at;
    leafIn("BehavioralSim", &simulation, &at);
    ASSERT_TRUE(at && !at->IsDone());
    ASSERT_EQ(simulation->Remove(at.Get()), Hvd::kSuccess);
  }
  fs::rename(leaf, away);
  ASSERT_EQ(File(leaf)->CheckFileOnDisk(), Hvd::kSuccess);
  ASSERT_FALSE(holdsLeaf("SynthesisOnly"));
  ASSERT_EQ(AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(), Hvd::kSuccess);
  const std::string text = ReadText(m_file);
  const std::size_t entry = text.find("<file vel_kv:name=\"leaf.v\"");
  ASSERT_NE(entry, std::string::npos);
  EXPECT_EQ(text.substr(entry, text.find("</file>", entry) - entry),
            "<file vel_kv:name=\"leaf.v\" vel_kv:type=\"FILE_VERILOG\">\n      "
            "<association vel_kv:name=\"Implementation\"/>\n    ");

  fs::rename(away, leaf);
  ASSERT_EQ(File(leaf)->CheckFileOnDisk(), Hvd::kSuccess);
  EXPECT_TRUE(holdsLeaf("SynthesisOnly"));
  EXPECT_FALSE(holdsLeaf("BehavioralSim")) << "back only in the views it was in";
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// What the repository of the project and the project's listeners were told, in order.
Strings g_told;

// A repository that records the closing calls it is given and is otherwise the host's own.
class RecordingRepository final : public CitI::IInterface {
 public:
  RecordingRepository() : m_inner(CitP::Factory::CreateInstance(Prjrep::ClassId::Repository())) {}
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    if (iid == Prjrep::IProjectRepository::GetIID()) return &m_outer;
    if (iid == Prjrep::IProjectRepositoryInternal::GetIID()) return &m_internal;
    if (CitI::IInterface* counted = m_refCount.QueryTable().Answer(iid)) return counted;
    if (iid == CitI::IInterface::GetIID()) return this;
    return m_inner ? m_inner->QueryInterface(iid) : nullptr;
  }

 private:
  struct Outer : Hvd::TNested<RecordingRepository, Prjrep::IProjectRepository> {
    using TNested::TNested;
    Hvd::Status Save(std::int32_t flags) override { return Inner()->Save(flags); }
    Hvd::Status Flush() override { return Inner()->Flush(); }
    Hvd::Status Close() override { return g_told.push_back("repository close"), Inner()->Close(); }
    AutoCast<Prjrep::IProjectRepository> Inner() { return AutoCast<Prjrep::IProjectRepository>(This().m_inner.Get()); }
  } m_outer{this};
  struct Internal : Hvd::TNested<RecordingRepository, Prjrep::IProjectRepositoryInternal> {
    using TNested::TNested;
    Hvd::Status Open(const Text& path, const Text& area, std::int32_t mode, Prjrep::IStorage** storage,
                     CitI::IInterface** other) override {
      return Inner()->Open(path, area, mode, storage, other);
    }
    Hvd::Status GetPath(Text* path) override { return Inner()->GetPath(path); }
    Hvd::Status Close(std::int32_t flags) override {
      return g_told.push_back("internal close " + std::to_string(flags)), Inner()->Close(flags);
    }
    AutoCast<Prjrep::IProjectRepositoryInternal> Inner() {
      return AutoCast<Prjrep::IProjectRepositoryInternal>(This().m_inner.Get());
    }
  } m_internal{this};
  Prjrep::TRefCountHelper<RecordingRepository> m_refCount{this};
  AutoRelease<CitI::IInterface> m_inner;
};

struct ClosingListener {
  static Hvd::Status Hear(ClosingListener*, Prjrep::IEvent* event) {
    Port::XUID id;
    if (event->GetEventId(id) == Hvd::kSuccess && id == Hvd::EventId::ProjectClosing()) g_told.push_back("closing");
    return Hvd::kSuccess;
  }
  Prjrep::TBaseEventReceiverHelper<ClosingListener> receiver{this, &Hear};
};

// A close that saves tells the repository it is done with it, after the save and before the
// listeners hear of the close; a close without a save does not.
TEST_F(ProjectOpenSaveTest, ASavingCloseGivesTheRepositoryItsClosingCall) {
  const std::string named = Port::FileName(m_file.c_str()).MakeCanonical().GetPath().str();
  for (const bool save : {true, false}) {
    g_told.clear();
    AutoRelease<RecordingRepository> repository(new RecordingRepository);
    ASSERT_EQ(Hvd::RegisterRepositoryByName(named.c_str(), AutoCast<Prjrep::IProjectRepository>(repository.Get()).Get()),
              Hvd::kSuccess);
    ASSERT_EQ(Open(m_file), Hvd::kSuccess);
    ClosingListener listener;
    Hvd::ConnectEventReceiver(m_project.Get(), &listener.receiver);
    EXPECT_EQ(m_project->ProjectClose(save), Hvd::kSuccess);
    EXPECT_EQ(g_told, save ? (Strings{"internal close 0", "closing", "repository close"})
                           : (Strings{"closing", "repository close"}))
        << save;
    m_project = nullptr;
  }
}

// A project object closed and opened on another file holds nothing of the first project:
// neither what was registered in its named lookups nor its references to other projects.
TEST_F(ProjectOpenSaveTest, AClosedProjectKeepsNothingOfItForTheNextFile) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  AutoRelease<Hvd::IProjectReference> reference(CitP::Factory::CreateInstance(Hvd::ClassId::ProjectReference()));
  AutoRelease<Prjrep::IAutonym> autonym(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  ASSERT_TRUE(reference && autonym && AutoCast<Prjrep::IName>(autonym.Get())->SetName("kept") == Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IProjectReferenceSet>(m_project.Get())->Add(reference.Get()), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::ISimpleNamedLookup>(m_project.Get())->Register("Kept", reference.Get()), Hvd::kSuccess);
  ASSERT_EQ(AutoCast<Prjrep::IAutonymLookup>(m_project.Get())->Register(autonym.Get(), reference.Get()), Hvd::kSuccess);
  const auto held = [&] { return AutoCast<Prjrep::IRefCount>(reference.Get())->GetRefCount(); };
  EXPECT_GT(held(), 1);
  // Resolving an autonym to the project registers it in the process-wide registry, as a
  // configuration's element resolves its project: the closed project is no answer there.
  AutoRelease<Prjrep::IAutonym> named(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  ASSERT_TRUE(named && AutoCast<Prjrep::IName>(named.Get())->SetName(m_file.c_str()) == Hvd::kSuccess);
  AutoRelease<Prjrep::IAutonymLookup> registry(Hvd::GetNamedObjectRegistryCLSID());
  ASSERT_TRUE(registry && registry->Register(named.Get(), m_project.Get()) == Hvd::kSuccess);
  EXPECT_EQ(Hvd::RootOf(Hvd::ResolveAutonym(named.Get(), "").Get()), Hvd::RootOf(m_project.Get()));

  ASSERT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
  EXPECT_EQ(held(), 1) << "the closed project holds none of it";
  EXPECT_FALSE(Hvd::ResolveAutonym(named.Get(), "")) << "the registry lets the closed project go";
  ASSERT_EQ(m_project->Open((m_dir / "other.xhlc").c_str()), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IProjectReferenceSet>(m_project.Get())->Size(), 0u);
  AutoRelease<CitI::IInterface> found;
  std::ignore = AutoCast<Prjrep::ISimpleNamedLookup>(m_project.Get())->Find("Kept", found.Receive());
  EXPECT_FALSE(found);
  std::ignore = AutoCast<Prjrep::IAutonymLookup>(m_project.Get())->Resolve(autonym.Get(), found.ReleaseAndReceive());
  EXPECT_FALSE(found);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A project file of a schema version this release does not know is not read: the project is
// closed again and the file left as it was.
TEST_F(ProjectOpenSaveTest, AnUnknownSchemaVersionIsRefused) {
  std::string text = Versioned("14.1");
  text.replace(text.find("schema_version=\"2\""), 18, "schema_version=\"3\"");
  WriteText(m_file, text);
  EXPECT_EQ(Open(m_file), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "Error: IProject::Open - Unsupported version (\"3\") of XHLC file."));
  EXPECT_EQ(ReadText(m_file), text);
  text.replace(text.find("schema_version=\"3\""), 18, "schema_version=\"1\"");
  WriteText(m_file, text);
  EXPECT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// An embedded-platform project whose hardware description lies beside its ".zmr" but is not
// among its files gets it back once, through its Cvf helper, when it is opened; removing the
// description runs the removal hook.
TEST_F(ProjectOpenSaveTest, AMissingHardwareDescriptionIsAddedBackThroughTheHelper) {
  const fs::path zmr = m_dir / "sys.zmr";
  const fs::path mhs = m_dir / "sys.mhs";
  const std::string missing = "Missing MHS file " + mhs.string() + " exists and will be readded to the project";
  const auto reopen = [&] {
    EXPECT_EQ(m_project->ProjectClose(true), Hvd::kSuccess);
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(m_project->Open(m_file.c_str()), Hvd::kSuccess);
  };
  const auto remove = [&](const fs::path& path) {
    AutoRelease<Hvd::IHdlFileIterator> at;
    ASSERT_EQ(Files()->FindFileByPath(path.c_str(), at.Receive()), Hvd::kSuccess);
    ASSERT_TRUE(at && !at->IsDone());
    ASSERT_EQ(Files()->ProjectRemoveFile(at.Get()), Hvd::kSuccess);
  };
  const auto has = [&](const fs::path& path) {
    const Strings names = FileNames();
    return std::find(names.begin(), names.end(), path.string()) != names.end();
  };
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  WriteText(mhs, "# hardware\n");
  reopen();  // no ".zmr" in the project
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Debug, "Missing MHS file"));
  WriteText(zmr, "<P/>\n");
  Add(zmr);
  Add(mhs);
  reopen();  // both in the project
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Debug, "Missing MHS file"));
  remove(mhs);
  fs::remove(mhs);
  reopen();  // none beside the ".zmr"
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Debug, "Missing MHS file"));
  WriteText(mhs, "# hardware\n");
  reopen();  // no helper to add it through
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, missing));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, "FixUpProject unable to get iProjectHelper"));
  EXPECT_FALSE(has(mhs));

  // Reopened through the helper, as a restore does: the helper is bound again only after the open.
  AutoRelease<Hvd::IProjectHelper> helper = Hvd::GetCvfProject(m_project.Get(), true);
  ASSERT_TRUE(helper);
  AutoRelease<Prjrep::IProjectRepository> repository = Hvd::GetRepositoryOfObject(m_project.Get());
  ASSERT_EQ(Hvd::RegisterNamedObject(repository.Get(), "CvfProject", helper.Get(), true), Hvd::kSuccess);
  repository = nullptr;
  ASSERT_EQ(helper->CloseProject(), Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(AutoCast<Hvd::IProjectHelper2>(helper.Get())->OpenProject(m_file.c_str()), Hvd::kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug, missing));
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Debug, "FixUpProject unable"));
  EXPECT_TRUE(has(mhs));
  EXPECT_NE(ReadText(m_file).find("sys.mhs"), std::string::npos) << "saved before the reload";
  AutoRelease<CitI::IInterface> bound;
  ASSERT_EQ(helper->GetProject(bound.Receive()), Hvd::kSuccess);
  EXPECT_EQ(bound.Get(), static_cast<CitI::IInterface*>(m_project.Get()));
  bound = nullptr;
  reopen();  // added for good
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Debug, "Missing MHS file"));
  EXPECT_TRUE(has(mhs));

  // The removal hook is told the file that left.
  AutoRelease<Hvd::ITclInterp> tcl(CitP::Factory::CreateInstance(Hvd::TclInterpClassId()));
  Text removed;
  ASSERT_TRUE(tcl && tcl->ExecuteCmd("set ::velmor::Hvd::removedFiles {}", removed, 0) == Hvd::kSuccess);
  remove(mhs);
  ASSERT_EQ(tcl->ExecuteCmd("set ::velmor::Hvd::removedFiles", removed, 0), Hvd::kSuccess);
  EXPECT_EQ(removed.str(), mhs.string());

  if (AutoRelease<Prjrep::IProjectRepository> now = Hvd::GetRepositoryOfObject(m_project.Get()); now) {
    if (AutoCast<Prjrep::ISimpleNamedLookup> names(now.Get()); names) std::ignore = names->UnregisterObject(helper.Get());
  }
  EXPECT_EQ(helper->CloseProject(), Hvd::kSuccess);
}

// A reopen reads a project source file only: any other kind of file is refused before anything
// of the project changes, and nothing is written for it.
TEST_F(ProjectOpenSaveTest, AReopenOfAnotherKindOfFileIsRefused) {
  Create();
  WriteText(m_dir / "notes.txt", "text");
  WriteText(m_dir / "old.hlc", "an older repository");
  for (const fs::path& path : {m_dir / "notes.txt", m_dir / "old.hlc"}) {
    Port_MsgManData::ClearCaptured();
    EXPECT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->Reopen(path.c_str()), Hvd::kInvalidParameter) << path;
    EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug,
                         "ERROR: Project::ProjectOpen - Cannot open hlc project files: \"" + path.string() + "\".\n"))
        << path;
    EXPECT_FALSE(IsOpen());
    EXPECT_FALSE(Hvd::GetActiveProjectOfRepository(path.c_str()));
  }
  EXPECT_EQ(ReadText(m_dir / "notes.txt"), "text");
  EXPECT_EQ(ReadText(m_dir / "old.hlc"), "an older repository");
  EXPECT_FALSE(fs::exists(m_dir / "notes.xhlc") || fs::exists(m_dir / "old.xhlc") || fs::exists(m_dir / "old.ghlc"));
  // The project's own file is reopened.
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->Reopen(m_file.c_str()), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// A project file rewritten on disk in a schema this version does not read is not read in: the
// project stays open as it was, and the user is told which file could not be reloaded.
TEST_F(ProjectOpenSaveTest, AChangedFileOfAnotherSchemaIsNotReadIn) {
  WriteText(m_dir / "a.vhd", "entity a is end;\n");
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Add(m_dir / "a.vhd");
  ASSERT_EQ(m_project->Save(), Hvd::kSuccess);
  std::string text = ReadText(m_file);
  const std::string schema = "vel_kv:schema_version=\"2\"";
  const auto at = text.find(schema);
  ASSERT_NE(at, std::string::npos) << text;
  text.replace(at, schema.size(), "vel_kv:schema_version=\"9\"");
  const auto before = fs::last_write_time(m_file);
  WriteText(m_file, text);
  fs::last_write_time(m_file, before + std::chrono::seconds(5));
  ASSERT_EQ(InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr), Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(Files()->CheckFiles(), Hvd::kProjectNotOpened);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Debug,
                       "Error: IProject::Reload - Unsupported version (\"9\") of XHLC file.\n"));
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "Corvane discovered errors in the project file \"" +
                                                              m_file.string() + "\", while reloading the project.\n"));
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(FileNames(), Strings{(m_dir / "a.vhd").string()});
  EXPECT_EQ(ReadText(m_file), text);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(ReadText(m_file), text);
}

// A changed project file that reads but names a device this installation does not know, which
// the user declines to open: the reload ends as that refused open does, with the project closed.
TEST_F(ProjectOpenSaveTest, AReloadOfADeviceTheUserDeclinesClosesTheProject) {
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  const std::string changed = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                          "<project xmlns=\"http://www.velmor.com/XMLSchema\" "
                                          "xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
                                          "  <version vel_kv:schema_version=\"2\" vel_kv:hlc_version=\"14.1\"/>\n"
                                          "  <properties>\n"
                                          "    <property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta\"/>\n"
                                          "    <property vel_kv:name=\"Device\" vel_kv:value=\"NoSuchDevice\"/>\n"
                                          "  </properties>\n</project>\n");
  WriteText(m_file, changed);
  ASSERT_EQ(InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs; set ::velmor::Hvd::answers 2", nullptr, false, nullptr),
            Hvd::kSuccess);
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->Reload(), Hvd::kFailure);
  EXPECT_FALSE(IsOpen());
  Text asked;
  ASSERT_EQ(InterpHelp::RunCmd("lindex $::velmor::Hvd::asked 0", nullptr, false, &asked), Hvd::kSuccess);
  EXPECT_EQ(asked.str().rfind("The Device is currently set to \"NoSuchDevice\", which is not valid", 0), 0u)
      << asked.str();
  EXPECT_FALSE(Captured(Port_MsgManData::Severity::Error, "Corvane discovered errors")) << "the file did read";
  EXPECT_FALSE(Hvd::GetActiveProjectOfRepository(m_file.c_str()));
  EXPECT_EQ(ReadText(m_file), changed);
  // Answered yes (the default), it opens.
  EXPECT_EQ(AutoCast<Hvd::IProject4>(m_project.Get())->Reopen(m_file.c_str()), Hvd::kSuccess);
  EXPECT_TRUE(IsOpen());
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

// The active repository is that of its project wherever the project's working directory moves;
// the move of a project whose repository is not the active one leaves the active one as it is.
TEST_F(ProjectOpenSaveTest, TheActiveRepositoryFollowsItsProjectsWorkingDirectory) {
  const auto root = [](CitI::IInterface* object) {
    return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
  };
  ASSERT_EQ(Open(m_file), Hvd::kSuccess);
  Hvd::SetActiveRepository(m_project.Get());
  AutoRelease<Prjrep::IProjectRepository> before = Hvd::GetRepositoryOfObject(m_project.Get());
  ASSERT_TRUE(before);
  ASSERT_EQ(root(Hvd::GetActiveRepository().Get()), root(before.Get()));
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir / "impl").c_str(), false, false),
            Hvd::kSuccess);
  AutoRelease<Prjrep::IProjectRepository> after = Hvd::GetRepositoryOfObject(m_project.Get());
  ASSERT_TRUE(after);
  EXPECT_EQ(root(Hvd::GetActiveRepository().Get()), root(after.Get()));

  AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_TRUE(other);
  ASSERT_EQ(other->Open((m_root / "other/q.xhlc").c_str()), Hvd::kSuccess);
  Hvd::SetActiveRepository(other.Get());
  AutoRelease<Prjrep::IProjectRepository> others = Hvd::GetRepositoryOfObject(other.Get());
  ASSERT_TRUE(others);
  ASSERT_EQ(root(Hvd::GetActiveRepository().Get()), root(others.Get()));
  EXPECT_EQ(AutoCast<Hvd::IProject3>(m_project.Get())->ChangeWorkingDirectory((m_dir / "run").c_str(), false, false),
            Hvd::kSuccess);
  EXPECT_EQ(root(Hvd::GetActiveRepository().Get()), root(others.Get()));
  EXPECT_EQ(other->ProjectClose(false), Hvd::kSuccess);
  EXPECT_EQ(m_project->ProjectClose(false), Hvd::kSuccess);
}

}  // namespace
}  // namespace xhlc_test
