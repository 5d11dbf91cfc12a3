// What the design does with the events it hears: forwarding, new design units, and the
// rebuild of the views when the device choice changes.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Hvd/EventIds.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Port/FileName.h"
#include "core/Diagnostics.h"
#include "design/design/CDesign.h"
#include "design/design/Placement.h"

namespace Hvd {

namespace {

// The device properties whose change the design looks at, each with its bit.
constexpr std::uint32_t kFamily = 1;
constexpr std::uint32_t kSynthesisTool = 16;
constexpr std::uint32_t kSimulator = 32;

std::uint32_t BitOf(std::string_view name) {
  static constexpr struct {
    std::string_view name;
    std::uint32_t bit;
  } kBits[] = {{"PROP_DevFamily", kFamily},
               {"PROP_DevDevice", 2},
               {"PROP_DevPackage", 4},
               {"PROP_DevSpeed", 8},
               {"PROP_Synthesis_Tool", kSynthesisTool},
               {"PROP_Simulator", kSimulator},
               {"PROP_Top_Level_Module_Type", 64},
               {"PROP_PreferredLanguage", 128}};
  for (const auto& entry : kBits) {
    if (entry.name == name) return entry.bit;
  }
  return 0;
}

// The include relations are kept per view, by the parsers of the views: six kinds of view.
constexpr std::uint32_t kRelationCategories = 6;

// What the old views' parsers recorded of the files' includes goes with the views: each new view
// records what its own settings find, as at an open. A new parser that finds no include in a file
// records nothing, so a header the old settings found would otherwise stay the file's child. A
// header the user added is the user's again; one the views found only is no file of the project
// until a new view finds it, as at an open.
void ForgetIncludes(IProject* project) {
  Prjrep::AutoCast<IFileManager> manager(project);
  Prjrep::AutoRelease<IHdlFileIterator> files;
  if (!manager || manager->GetProjectFiles(files.Receive()) != kSuccess || !files) return;
  std::vector<Prjrep::AutoPtr<IHdlFile>> all;
  for (; !files->IsDone(); std::ignore = files->Next()) all.emplace_back(files->Current());
  for (const Prjrep::AutoPtr<IHdlFile>& file : all) {
    Prjrep::AutoCast<IHdlFileV4> relations(file.Get());
    if (!relations) continue;
    for (std::uint32_t category = 0; category < kRelationCategories; ++category)
      std::ignore = relations->RemoveAllChildFiles(category);
  }
  // A parent that left the project let go of its children as it left: the child drops it itself.
  for (const Prjrep::AutoPtr<IHdlFile>& file : all) {
    Prjrep::AutoCast<IHdlFileV4> relations(file.Get());
    if (!relations) continue;
    for (std::uint32_t category = 0; category < kRelationCategories; ++category) {
      std::vector<Prjrep::AutoPtr<IHdlFile>> parents;
      Prjrep::AutoRelease<IHdlFileIterator> up;
      if (relations->GetParentFiles(category, up.Receive()) == kSuccess && up) {
        for (; !up->IsDone(); std::ignore = up->Next()) parents.emplace_back(up->Current());
      }
      for (const Prjrep::AutoPtr<IHdlFile>& parent : parents)
        std::ignore = relations->RemoveParentFile(category, parent.Get());
    }
  }
  if (Prjrep::AutoCast<IProject4> owner(project); owner) std::ignore = owner->CleanupAutoManagedFiles();
}

}  // namespace

Status CDesign::HandleEvent(CDesign* self, Prjrep::IEvent* event) {
  if (event == nullptr) return Fail(kInvalidParameter, "ERROR: Design::HandleEvent - Invalid Parameter.\n");
  Port::XUID id;
  const Status read = event->GetEventId(id);
  if (read != kSuccess) return read;
  Prjrep::AutoRelease<CitI::IInterface> argument;
  std::ignore = event->GetArgument(argument.Receive());
  if (id == EventId::DesignUnitCreated()) {
    const Status handled = self->HandleDUCreated(Prjrep::AutoCast<IHdlDesignUnit>(argument.Get()));
    if (handled != kSuccess) return handled;
    return self->ForwardEvent(event);
  }
  if (id == EventId::HdlFileEvent() || id == EventId::FileModified()) return self->ForwardEvent(event);
  if (id == EventId::DesignPlatformChanged()) return self->RebuildViews(argument);
  return kSuccess;
}

Status CDesign::HandleDUCreated(IHdlDesignUnit* unit) {
  if (unit == nullptr) return Fail(kInvalidParameter, "ERROR: Design::HandleDUCreated - Invalid Parameter.\n");
  Prjrep::AutoCast<IDesignUnit> designUnit(unit);
  if (!designUnit) return kMissingInterface;
  if (m_engine) std::ignore = m_engine->AddDesignUnit(designUnit);
  return kSuccess;
}

Status CDesign::ForwardEvent(Prjrep::IEvent* event) {
  if (event == nullptr) return Fail(kInvalidParameter, "ERROR: Design::ForwardEvent - Invalid Parameter.\n");
  Port::XUID id;
  std::ignore = event->GetEventId(id);
  Prjrep::AutoRelease<CitI::IInterface> argument;
  const Status read = event->GetArgument(argument.Receive());
  if (read != kSuccess) return read;
  return SendEvent(&m_XIDesign, id, argument);
}

// A change of family, synthesis tool or simulator makes the views anew; a design without
// views gets its initial view on any change. A change of the simulator alone keeps the
// transforms' recorded status: the project is saved first and its status read back after.
Status CDesign::RebuildViews(CitI::IInterface* changedNames) {
  std::uint32_t mask = 0;
  // Names counted once each: one change may be announced by several events.
  std::set<std::string> seen;
  if (Prjrep::AutoCast<Prjrep::INameIterator> names(changedNames); names) {
    for (std::ignore = names->Reset(); !names->IsDone(); std::ignore = names->Next()) {
      Prjrep::IName* name = names->Current();
      if (name == nullptr) continue;
      String text;
      std::ignore = name->GetName(text);
      mask |= BitOf(text);
      seen.insert(text.str());
    }
  }
  const bool hasViews = m_views.Size() > 0;
  const bool rebuild = hasViews && (mask & (kFamily | kSynthesisTool | kSimulator)) != 0;
  const bool createInitial = !hasViews || rebuild;
  const bool simulatorOnly = hasViews && (mask & kSimulator) != 0 && seen.size() == 1;

  if (rebuild) {
    if (simulatorOnly) {
      if (Prjrep::AutoCast<IForceSave> save(m_project.Get()); save) std::ignore = save->ForceSave();
    }
    TearDownViews();
    if (Prjrep::AutoCast<ITransformAccess> access(m_engine.Get()); access) std::ignore = access->ClearNetwork(true);
    if (m_project) ForgetIncludes(m_project);
  }
  if (createInitial) {
    Prjrep::AutoRelease<IView> initial = CreateInitialView("VIEW_Initial", String());
    if (!initial) return kFailure;
    if (m_engine) {
      const Status added = m_engine->AddView(initial);
      if (added != kSuccess) return added;
    }
  }
  if (rebuild) {
    PlaceAllFilesInViews(m_project);
    if (Prjrep::AutoCast<ICompositionControl> composition(m_project.Get()); composition)
      std::ignore = composition->Compose(nullptr);
    if (simulatorOnly) {
      String generated;
      if (Prjrep::AutoCast<IProject2> project(m_project.Get()); project)
        std::ignore = project->GetGeneratedFilePath(&generated);
      if (!generated.empty() && Port::File::exist(generated))
        std::ignore = ReadTransformStatusBack(m_project, generated);
    }
  }
  if (createInitial && m_viewsChangedEvent) std::ignore = SendEvent(&m_XIDesign, EventId::ViewsChanged(), nullptr);
  return kSuccess;
}

}  // namespace Hvd
