// A project with child projects through its saves, reloads and closes: which saves reach the
// children, who may stop a reload, and what the composition control takes out.

#include <fstream>
#include <functional>
#include <sstream>

#include "Hvd/EventIds.h"
#include "Hvd/Ipc/IConnectionManager.h"
#include "childproject/ChildSupport.h"
#include "core/Events.h"
#include "utils/DmUtils.h"
#include "utils/InterpHelp.h"
#include "utils/PropertyAccessor.h"

namespace {

using namespace child_testing;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Said(const std::string& part) {
  for (const auto& record : Port_MsgManData::Captured())
    if (record.text.find(part) != std::string::npos) return true;
  return false;
}

// A listener's answer to the project's question whether it may reload.
struct Answer : Hvd::TComponent<Answer, Hvd::IConflictReport> {
  explicit Answer(Hvd::Status status) : status(status) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IConflictReport>(this), Hvd::Row<CitI::IInterface>(this),
                      Hvd::Row<Prjrep::IRefCount>(&count));
  }
  Hvd::Status GetStatus() override { return status; }
  Hvd::Status status;
  Prjrep::TRefCountHelper<Answer> count{this};
};

// Listens to one project and does, on one event, what the test asks.
struct OnEvent {
  OnEvent(CitI::IInterface* sender, const Port::XUID& id, std::function<void(Prjrep::IEvent*)> act)
      : id(id), act(std::move(act)) {
    Hvd::ConnectEventReceiver(sender, &receiver);
  }
  static Hvd::Status Hear(OnEvent* self, Prjrep::IEvent* event) {
    Port::XUID heard;
    if (event->GetEventId(heard) == kSuccess && heard == self->id) self->act(event);
    return kSuccess;
  }
  Port::XUID id;
  std::function<void(Prjrep::IEvent*)> act;
  Prjrep::TBaseEventReceiverHelper<OnEvent> receiver{this, &Hear};
};

class ProjectLifecycleTest : public ChildProjectTest {
 protected:
  // "p.xhlc" with its own source and the child project "core/core.xhlc", which has one.
  void SetUp() override {
    ChildProjectTest::SetUp();
    Hvd::IProject* core = Open("core/core.xhlc");
    Source(core, "core/a.vhd");
    // Its files come into the parent's views, to be synthesized there.
    Hvd::PropertyAccessor(core).SetPropertyValue("PROP_StopImpView", "VIEW_AbstractSynthesis");
    ASSERT_EQ(core->ProjectClose(true), kSuccess);
    m_parent = Open("p.xhlc");
    std::ignore = Add(m_parent, "own.vhd");
    std::ignore = Add(m_parent, "core/core.xhlc");
    m_child = Child("core/core.xhlc");
    ASSERT_TRUE(m_child);
  }
  // The open child project that the parent's file of `relative` leads to.
  Hvd::IProject* Child(const std::string& relative) {
    AutoRelease<Hvd::IHdlFile> entry = Find(m_parent, PathOf(relative));
    AutoRelease<Hvd::IProject> child = entry ? Hvd::GetOwningProject(entry.Get()) : AutoRelease<Hvd::IProject>();
    return child.Get();  // held open by the parent
  }
  // A source for implementation and simulation, as the suite adds one.
  void Source(Hvd::IProject* project, const std::string& relative) {
    AutoRelease<Hvd::IHdlFile> file = Add(project, relative);
    AutoCast<Hvd::IViewClassAssociation> classes(file.Get());
    ASSERT_TRUE(classes && classes->SetBit(0) == kSuccess && classes->SetBit(1) == kSuccess) << relative;
  }
  static AutoCast<Hvd::IForceSave> Saver(Hvd::IProject* project) { return AutoCast<Hvd::IForceSave>(project); }

  Hvd::IProject* m_parent = nullptr;
  Hvd::IProject* m_child = nullptr;
};

// A parent's save asks its child to save, which the child's own delay may put off; a forced
// save of the parent forces the child's too.
TEST_F(ProjectLifecycleTest, AParentsSaveLeavesTheChildsDelayToTheChild) {
  ASSERT_EQ(Saver(m_parent)->SetSaveDelay(0), kSuccess);
  std::ignore = Add(m_child, "core/b.vhd");
  ASSERT_EQ(Saver(m_child)->SetSaveDelay(-1), kSuccess);
  ASSERT_EQ(m_parent->Save(), kSuccess);
  EXPECT_EQ(ReadText(PathOf("core/core.xhlc")).find("b.vhd"), std::string::npos) << "the child writes nothing";
  ASSERT_EQ(Saver(m_child)->SetSaveDelay(0), kSuccess);
  ASSERT_EQ(m_parent->Save(), kSuccess);
  EXPECT_NE(ReadText(PathOf("core/core.xhlc")).find("b.vhd"), std::string::npos);

  std::ignore = Add(m_child, "core/c.vhd");
  ASSERT_EQ(Saver(m_child)->SetSaveDelay(-1), kSuccess);
  ASSERT_EQ(Saver(m_parent)->ForceSave(), kSuccess);
  EXPECT_NE(ReadText(PathOf("core/core.xhlc")).find("c.vhd"), std::string::npos);
}

// A project tells whether it holds anything its files, as it last read or wrote them, do not. A
// close with nothing to save leaves what another program wrote since as it is, unasked.
TEST_F(ProjectLifecycleTest, ACloseWithNothingToSaveLeavesAnotherWritersFiles) {
  AutoCast<Hvd::IProjectSaveState> state(m_parent);
  ASSERT_TRUE(state);
  const auto unsaved = [&] {
    bool held = false;
    EXPECT_EQ(state->HasUnsavedChanges(&held), kSuccess);
    return held;
  };
  EXPECT_TRUE(unsaved()) << "files added since the open";
  ASSERT_EQ(Saver(m_parent)->ForceSave(), kSuccess);
  EXPECT_FALSE(unsaved());
  Hvd::PropertyAccessor(m_parent).SetPropertyValue("PROP_ProjectDescription", "ours");
  EXPECT_TRUE(unsaved());
  ASSERT_EQ(Saver(m_parent)->ForceSave(), kSuccess);
  EXPECT_FALSE(unsaved());
  EXPECT_EQ(state->HasUnsavedChanges(nullptr), Hvd::kInvalidParameter);

  // Another program saves both files.
  std::string theirs[2];
  const std::string paths[2] = {PathOf("p.xhlc"), PathOf("p.ghlc")};
  for (int i = 0; i < 2; ++i) {
    theirs[i] = ReadText(paths[i]) + "<!-- theirs -->\r\n";
    fs::remove(paths[i]);
    WriteText(paths[i], theirs[i]);
  }
  EXPECT_FALSE(unsaved()) << "compared with what this project wrote, not with the disk";
  EXPECT_EQ(m_parent->ProjectClose(true), kSuccess);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(ReadText(paths[i]), theirs[i]) << paths[i];
  EXPECT_FALSE(Said("changed on disk"));
}

// A project file that another program left one no open reads (cut short, a folder at its name)
// leaves the open project its only whole copy: a close with nothing changed asks, as for any
// change on disk. Answered "no", it writes the project whole again; answered to read the file
// in, which cannot be, it fails and writes nothing.
TEST_F(ProjectLifecycleTest, ACloseWithNothingChangedAsksWhenTheProjectFileNoLongerReads) {
  const auto unsaved = [](Hvd::IProject* project) {
    bool held = false;
    EXPECT_EQ(AutoCast<Hvd::IProjectSaveState>(project)->HasUnsavedChanges(&held), kSuccess);
    return held;
  };
  const auto asked = [] {
    Text text;
    std::ignore = InterpHelp::RunCmd("set ::velmor::Hvd::asked", nullptr, false, &text);
    std::ignore = InterpHelp::RunCmd("::velmor::Hvd::hvd_ResetDialogs", nullptr, false, nullptr);
    return text.str();
  };
  ASSERT_EQ(Saver(m_parent)->ForceSave(), kSuccess);
  const fs::path path = PathOf("p.xhlc");
  const std::string whole = ReadText(path);
  ASSERT_FALSE(unsaved(m_parent));
  std::ignore = asked();

  WriteText(path, whole.substr(0, whole.size() / 2));
  EXPECT_TRUE(unsaved(m_parent)) << "cut short";
  ASSERT_EQ(InterpHelp::RunCmd("lappend ::velmor::Hvd::answers 2", nullptr, false, nullptr), kSuccess);
  EXPECT_EQ(m_parent->ProjectClose(true), kSuccess);
  EXPECT_NE(asked().find("has changed on disk"), std::string::npos);
  EXPECT_EQ(ReadText(path), whole);

  Hvd::IProject* project = Open("p.xhlc");
  ASSERT_FALSE(unsaved(project));
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_TRUE(unsaved(project)) << "a folder at its name";
  Port_MsgManData::ClearCaptured();
  EXPECT_NE(project->ProjectClose(true), kSuccess);
  EXPECT_NE(asked().find("has changed on disk"), std::string::npos);
  EXPECT_TRUE(Said("changed on disk and could not be read again"));
  EXPECT_TRUE(fs::is_directory(path));
}

// A listener may stop a reload with its answer, which the reload gives back; a reload asked
// for while one is under way does nothing.
TEST_F(ProjectLifecycleTest, AReloadIsStoppedByAListenerAndNotStartedTwice) {
  auto reload = [](Hvd::IProject* project) { return AutoCast<Hvd::IProject3>(project)->Reload(); };
  Hvd::Status answer = kSuccess;
  std::vector<Hvd::Status> nested;
  OnEvent listener(m_parent, Hvd::EventId::ReloadQuery(), [&](Prjrep::IEvent* event) {
    AutoRelease<CitI::IInterface> argument;
    ASSERT_EQ(event->GetArgument(argument.Receive()), kSuccess);
    AutoRelease<Hvd::IConflictReport> report(new Answer(answer));
    ASSERT_EQ(AutoCast<Hvd::IConflictReportSet>(argument.Get())->Add(report.Get()), kSuccess);
    nested.push_back(reload(m_parent));
  });
  ASSERT_EQ(Saver(m_parent)->ForceSave(), kSuccess);
  const std::vector<std::string> files = FileNames(m_parent);
  ASSERT_EQ(files.size(), 3u);
  answer = Hvd::kNotSupported;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(reload(m_parent), Hvd::kNotSupported);
  EXPECT_FALSE(Said("Reloading"));
  EXPECT_EQ(FileNames(m_parent), files);

  answer = kSuccess;
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(reload(m_parent), kSuccess);
  EXPECT_TRUE(Said("INFO: Reloading \""));
  EXPECT_EQ(FileNames(m_parent), files);
  EXPECT_EQ(nested, (std::vector<Hvd::Status>{kFailure, kFailure})) << "each asked for inside the first";
  int reloads = 0;
  for (const auto& record : Port_MsgManData::Captured()) reloads += record.text == "Reloading the project.\n";
  EXPECT_EQ(reloads, 1);
}

// A forced save asked for while a project closes is made once the close is over, also of a
// child project that no close reaches.
TEST_F(ProjectLifecycleTest, AChildsSaveOwedToACloseIsMadeWhenTheCloseEnds) {
  Hvd::IProject* other = Open("other.xhlc");
  std::string during;
  OnEvent listener(other, Hvd::EventId::ProjectClosing(), [&](Prjrep::IEvent*) {
    std::ignore = Add(m_child, "core/b.vhd");
    EXPECT_EQ(Saver(m_parent)->ForceSave(), kSuccess);
    during = ReadText(PathOf("core/core.xhlc"));
  });
  ASSERT_EQ(other->ProjectClose(false), kSuccess);
  EXPECT_EQ(during.find("b.vhd"), std::string::npos) << "the child's save waited for the close";
  EXPECT_NE(ReadText(PathOf("core/core.xhlc")).find("b.vhd"), std::string::npos);
  bool open = false;
  EXPECT_TRUE(m_child->IsOpen(&open) == kSuccess && open);
}

// Decomposing without naming a child takes every child's files out; the parent's own and the
// child projects' files stay. A reopened project has no connection.
TEST_F(ProjectLifecycleTest, DecomposingEveryChildAndTheConnectionOfAReopenedProject) {
  Hvd::IProject* second = Open("second/second.xhlc");
  Source(second, "second/s.vhd");
  Hvd::PropertyAccessor(second).SetPropertyValue("PROP_StopImpView", "VIEW_AbstractSynthesis");
  ASSERT_EQ(second->ProjectClose(true), kSuccess);
  std::ignore = Add(m_parent, "second/second.xhlc");
  ASSERT_TRUE(Find(m_parent, PathOf("core/a.vhd")) && Find(m_parent, PathOf("second/s.vhd")));
  ASSERT_EQ(AutoCast<Hvd::ICompositionControl>(m_parent)->Decompose(nullptr), kSuccess);
  EXPECT_EQ(FileNames(m_parent),
            (std::vector<std::string>{PathOf("own.vhd"), PathOf("core/core.xhlc"), PathOf("second/second.xhlc")}));

  AutoRelease<Hvd::Ipc::IConnectionManager> manager;
  EXPECT_EQ(m_parent->GetConnectionManager(manager.Receive()), kFailure) << "no connection components here";
  ASSERT_EQ(m_parent->ProjectClose(false), kSuccess);
  ASSERT_EQ(AutoCast<Hvd::IProject4>(m_parent)->Reopen(PathOf("p.xhlc").c_str()), kSuccess);
  EXPECT_EQ(m_parent->GetConnectionManager(manager.Receive()), kSuccess);
  EXPECT_FALSE(manager);
  EXPECT_EQ(m_parent->GetConnectionManager(nullptr), kSuccess);
}

}  // namespace
