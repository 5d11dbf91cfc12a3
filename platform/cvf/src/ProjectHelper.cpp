#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CitP/Factory.h"
#include "HdcI/HDProjectStandIn.h"
#include "HdcI/IHDProject.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Hvd/Status.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Port/FileName.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Factory.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

// The repository that the process-wide registry knows by the path (made absolute and
// canonical, as projects register theirs), or null.
Prjrep::AutoRelease<CitI::IInterface> RepositoryOf(const Text& path) {
  Prjrep::AutoRelease<Prjrep::IAutonymLookup> registry(
      CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
  Prjrep::AutoRelease<Prjrep::IAutonym> name(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  Prjrep::AutoCast<Prjrep::IName> naming(name.Get());
  Prjrep::AutoRelease<CitI::IInterface> repository;
  const Text canonical = Port::FileName(Port::FileName(path).GetAbsolutePath()).MakeCanonical().GetPath();
  if (registry.Get() == nullptr || naming.Get() == nullptr || naming->SetName(canonical) != kSuccess)
    return repository;
  std::ignore = registry->Resolve(name, repository.Receive());
  return repository;
}

// The project that is open on `path`: its repository names it "ActiveHvdProject". Null when
// there is none.
Prjrep::AutoRelease<IProject> OpenProjectOf(const Text& path) {
  Prjrep::AutoRelease<CitI::IInterface> repository = RepositoryOf(path);
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  Prjrep::AutoRelease<CitI::IInterface> project;
  if (names.Get() != nullptr) std::ignore = names->Find("ActiveHvdProject", project.Receive());
  return Prjrep::AutoRelease<IProject>(std::move(project));
}

// The .xhlc of a project named by its .hlc; any other name as it is.
Text ProjectFileOf(const Text& path) {
  const std::string& text = path.str();
  if (text.size() > 4 && text.compare(text.size() - 4, 4, ".hlc") == 0)
    return Text(text.substr(0, text.size() - 4) + ".xhlc");
  return path;
}

void RegisterIn(CitI::IInterface* table, const char* name, CitI::IInterface* object) {
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(table);
  if (names.Get() != nullptr && object != nullptr) std::ignore = names->Register(name, object);
}

// As the suite's hierarchical-design code does when a project opens: the project gets a
// hierarchical-design project of its own, owned by its helper, unless it has one.
void PublishHDProject(IProject* project, CitI::IInterface* helper) {
  Prjrep::AutoRelease<HdcI::IHDProjectSetup> made(CitP::Factory::CreateInstance(HdcI::HDProjectClassId()));
  if (made.Get() != nullptr) std::ignore = made->Publish(project, helper);
}

// The full path of a file or design unit; empty when it has none.
Text FullPathOf(CitI::IInterface* object) {
  Text path;
  Prjrep::AutoCast<Prjrep::IFileNameHelper> names(object);
  if (names.Get() != nullptr) std::ignore = names->GetFullName(&path);
  return path;
}

CitI::IInterface* IdentityOf(CitI::IInterface* object) {
  return object != nullptr ? object->QueryInterface(CitI::IInterface::GetIID()) : nullptr;
}

// The view associations of the design units of every project, by project and unit path: a
// helper made afresh for a project finds those recorded through another.
std::map<std::pair<std::string, std::string>, std::int32_t>& Associations() {
  static std::map<std::pair<std::string, std::string>, std::int32_t> s_associations;
  return s_associations;
}

// The project helper: the path it was opened on and the project it is bound to.
class CCvfProjectHelper final : public TComponent<CCvfProjectHelper> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::ProjectHelperClassId(); }
  CCvfProjectHelper() = default;
  CCvfProjectHelper(const CCvfProjectHelper&) = delete;
  CCvfProjectHelper& operator=(const CCvfProjectHelper&) = delete;
  // A batch left open does not hold the project's views back for good.
  ~CCvfProjectHelper() override { EndHeldBatches(); }

  auto QueryTable() {
    return Table(Row<IProjectHelper>(&m_XIProjectHelper), Row<IProjectHelper2>(&m_XIProjectHelper2),
                 Row<IProjSrcHelper>(&m_XIProjSrcHelper), Row<IProjectCompReference>(&m_XIProjectCompReference),
                 Row<ISourceViewAssoc>(&m_XISourceViewAssoc), Row<IViewNetworkHelp>(&m_XIViewNetworkHelp),
                 Row<IBatchDelay>(&m_XIBatchDelay),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }

 private:
  Status HandOutProject(CitI::IInterface** project) {
    Prjrep::AutoOut<CitI::IInterface> result(project);
    if (project == nullptr || m_project.Get() == nullptr) return kFailure;
    return result.Assign(m_project.Get());
  }

  struct XIProjectHelper : TNested<CCvfProjectHelper, IProjectHelper> {
    using TNested::TNested;
    // A project component opened on the file; the helper is bound to it when it opens.
    // A configuration's or flavor's project is named by its .hlc; the project component keeps
    // it in the .xhlc of that name, made when missing. The helper is then the project's
    // "CvfProject", found through the project's repository.
    Status MakeProject(const Text& path) override {
      if (path.empty()) return kFailure;
      This().m_path = path;
      Prjrep::AutoRelease<IProject> made(CitP::Factory::CreateInstance(ClassId::Project()));
      if (made.Get() == nullptr) return kFailure;
      const Text file = ProjectFileOf(path);
      const Status status = made->Open(file);
      if (status != kSuccess) return status;
      std::ignore = This().m_project.Assign(made.Get());
      Prjrep::AutoRelease<CitI::IInterface> repository = RepositoryOf(file);
      Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
      if (names.Get() == nullptr) return kFailure;
      const Status registered = names->Register("CvfProject", &This().m_XIProjectHelper);
      PublishHDProject(made.Get(), &This().m_XIProjectHelper);
      return registered;
    }
    Status AfterSourcesChanged(std::int32_t) override {
      // Held across the call, in case saving reaches back and unbinds the project.
      const Prjrep::AutoPtr<IProject> project = This().m_project;
      return project.Get() == nullptr ? kSuccess : project->Save();
    }
    // The bound project is closed, keeping its changes, and let go. One that was open is kept, to be
    // opened again by OpenProject; one that would not close stays bound, on the path it was.
    Status CloseProject() override {
      const Prjrep::AutoPtr<IProject> project = This().m_project;
      const Text path = std::exchange(This().m_path, Text());
      This().m_project.Assign(nullptr);
      bool open = false;
      if (project.Get() == nullptr || project->IsOpen(&open) != kSuccess || !open) return kSuccess;
      const Status closed = project->ProjectClose(true);
      if (closed == kSuccess) {
        This().m_closed = project;
      } else {
        This().m_project = project;
        This().m_path = path;
      }
      return closed;
    }
    Status AfterMakeProject() override { return kSuccess; }
    Status GetProject(CitI::IInterface** project) override { return This().HandOutProject(project); }
  } m_XIProjectHelper{this};

  struct XIProjectHelper2 : TNested<CCvfProjectHelper, IProjectHelper2> {
    using TNested::TNested;
    // A project already open on the path is the one the helper is bound to; else the project
    // that CloseProject closed is opened again on it, and bound when it opens; else the file
    // is opened, as the suite opens a project.
    Status OpenProject(const Text& path) override {
      if (path.empty()) return kFailure;
      This().m_path = path;
      if (Prjrep::AutoRelease<IProject> open = OpenProjectOf(path); open.Get() != nullptr) {
        std::ignore = This().m_project.Assign(open.Get());
        This().m_closed.Assign(nullptr);
        PublishHDProject(open.Get(), &This().m_XIProjectHelper);
        return kSuccess;
      }
      if (const Prjrep::AutoPtr<IProject> closed = This().m_closed; closed.Get() != nullptr) {
        This().m_closed.Assign(nullptr);
        const Status opened = closed->Open(path);
        bool open = false;
        // A project that opened with errors is open all the same, and stays in hand.
        if (closed->IsOpen(&open) == kSuccess && open) {
          std::ignore = This().m_project.Assign(closed.Get());
          PublishHDProject(closed.Get(), &This().m_XIProjectHelper);
        }
        return opened;
      }
      if (!Port::File::exist(path)) return kFailure;
      Prjrep::AutoRelease<IProject> made(CitP::Factory::CreateInstance(ClassId::Project()));
      if (made.Get() == nullptr) return kFailure;
      if (const Status status = made->Open(path); status != kSuccess) return status;
      std::ignore = This().m_project.Assign(made.Get());
      Prjrep::AutoRelease<CitI::IInterface> repository = RepositoryOf(path);
      RegisterIn(repository.Get(), "CvfProject", &This().m_XIProjectHelper);
      PublishHDProject(made.Get(), &This().m_XIProjectHelper);
      Prjrep::AutoRelease<CitI::IInterface> registry(CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
      RegisterIn(registry.Get(), "ActiveHvdProject", made.Get());
      RegisterIn(registry.Get(), "ActiveCvfProject", &This().m_XIProjectHelper);
      RegisterIn(registry.Get(), "ActiveRepository", repository.Get());
      return kSuccess;
    }
    Status GetProject(CitI::IInterface** project) override { return This().HandOutProject(project); }
  } m_XIProjectHelper2{this};

  struct XIProjSrcHelper : TNested<CCvfProjectHelper, IProjSrcHelper> {
    using TNested::TNested;
    // The source joins the bound project's files.
    Status AddProjectSource(const Text& source, std::int32_t) override { return This().AddSource(source); }
    Status HandOverSource(const Text& source) override {
      if (This().m_project.Get() == nullptr) return kNotSupported;
      return This().FileOf(source).Get() != nullptr ? kSuccess : kFailure;
    }
    Status SetSourceViewAssociation(CitI::IInterface* designUnit, std::int32_t value) override {
      const Text path = This().PathOfOwnUnit(designUnit);
      if (path.empty()) return kFailure;
      Associations()[{This().ProjectPath(), path.str()}] = value;
      return kSuccess;
    }
  } m_XIProjSrcHelper{this};

  struct XISourceViewAssoc : TNested<CCvfProjectHelper, ISourceViewAssoc> {
    using TNested::TNested;
    Status AddSourceWithViewAssociation(const Text& source, std::int32_t kind) override {
      // Kind 4 is the synthesis association: the source is for implementation only.
      const Status added = This().AddSource(source, kind == 4);
      if (added != kSuccess) return added;
      Prjrep::AutoRelease<IHdlFile> file = This().FileOf(source);
      return This().m_XIProjSrcHelper.SetSourceViewAssociation(file.Get(), kind);
    }
    Status GetSourceViewAssociation(CitI::IInterface* designUnit, std::int32_t* value) override {
      if (value == nullptr) return kFailure;
      *value = 0;
      const Text path = This().PathOfOwnUnit(designUnit);
      if (path.empty()) return kSuccess;
      const auto found = Associations().find({This().ProjectPath(), path.str()});
      if (found != Associations().end()) *value = found->second;
      return kSuccess;
    }
  } m_XISourceViewAssoc{this};

  struct XIProjectCompReference : TNested<CCvfProjectHelper, IProjectCompReference> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface* project) override {
      Prjrep::AutoCast<IProject> bound(project);
      if (project != nullptr && bound.Get() == nullptr) return kFailure;
      return This().m_project.Assign(bound.Get());
    }
    Status GetProject(IProject** project) override {
      Prjrep::AutoOut<IProject> result(project);
      if (project == nullptr || This().m_project.Get() == nullptr) return kFailure;
      return result.Assign(This().m_project.Get());
    }
  } m_XIProjectCompReference{this};

  // The network names each view by its role: the hint of its view type, the same words the
  // design's views are found by.
  struct XIViewNetworkHelp : TNested<CCvfProjectHelper, IViewNetworkHelp> {
    using TNested::TNested;
    Status ReservedOperation2() override { return kNotSupported; }
    Status ReservedOperation3() override { return kNotSupported; }
    Status ReservedOperation4() override { return kNotSupported; }
    Status GetViewHint(IView* view, Text* hint) override {
      if (hint != nullptr) *hint = Text();
      if (view == nullptr || hint == nullptr) return kFailure;
      Prjrep::AutoRelease<IViewType> type;
      Text name;
      if (view->GetType(type.Receive()) != kSuccess) return kFailure;
      if (Prjrep::AutoCast<IDefDataId> id(type.Get()); id.Get() == nullptr || id->GetDefDataIdName(&name) != kSuccess)
        return kFailure;
      const std::string& typeName = name.str();
      static const std::pair<const char*, const char*> kHints[] = {
          {"VIEW_Initial", "AnyView"},
          {"VIEW_AbstractSimulation", "BehavioralSim"},
          {"VIEW_CPLDAbstractSimulation", "BehavioralSim"},
          {"VIEW_Post-SynthesisAbstractSimulation", "PostSynthSim"},
          {"VIEW_Post-TranslateAbstractSimulation", "PostTransSim"},
          {"VIEW_Post-MapAbstractSimulation", "PostMapSim"},
          {"VIEW_Post-ParAbstractSimulation", "PostRouteSim"},
          {"VIEW_Post-FitAbstractSimulation", "PostRouteSim"},
      };
      for (const auto& [viewType, word] : kHints) {
        if (typeName == viewType) return *hint = Text(word), kSuccess;
      }
      constexpr std::string_view kSynthesis = "AbstractSynthesis";
      if (typeName.size() >= kSynthesis.size() &&
          typeName.compare(typeName.size() - kSynthesis.size(), kSynthesis.size(), kSynthesis) == 0)
        return *hint = Text("SynthesisOnly"), kSuccess;
      return kFailure;
    }
  } m_XIViewNetworkHelp{this};

  // A batch of the helper holds back the bound project's views and transform engine, so that
  // a bulk change of its sources is worked out once, when the last batch ends.
  struct XIBatchDelay : TNested<CCvfProjectHelper, IBatchDelay> {
    using TNested::TNested;
    Status BeginBatch() override {
      CCvfProjectHelper& self = This();
      if (self.m_batches++ == 0) self.HoldBackProject();
      return kSuccess;
    }
    Status EndBatch() override {
      CCvfProjectHelper& self = This();
      if (self.m_batches == 0) return kFailure;  // an end without a begin
      if (--self.m_batches == 0) self.EndHeldBatches();
      return kSuccess;
    }
  } m_XIBatchDelay{this};

  void HoldBackProject() {
    IDesign* design = nullptr;  // borrowed: the project keeps its design
    if (m_project.Get() == nullptr || m_project->GetDesign(&design) != kSuccess || design == nullptr) return;
    Prjrep::AutoRelease<IViewIterator> views;
    if (Prjrep::AutoCast<IViewManager> manager(design); manager.Get() != nullptr &&
                                                       manager->GetViews(views.Receive()) == kSuccess) {
      for (; views.Get() != nullptr && !views->IsDone(); std::ignore = views->Next()) {
        if (Prjrep::AutoCast<IBatchDelay> delay(views->Current()); delay.Get() != nullptr) m_held.emplace_back(delay.Get());
      }
    }
    Prjrep::AutoRelease<ITransformEngine> engine;
    if (design->GetTOE(engine.Receive()) == kSuccess) {
      if (Prjrep::AutoCast<IBatchDelay> delay(engine.Get()); delay.Get() != nullptr) m_held.emplace_back(delay.Get());
    }
    for (const Prjrep::AutoPtr<IBatchDelay>& delay : m_held) std::ignore = delay->BeginBatch();
  }
  void EndHeldBatches() {
    // Taken out first: the work an end lets run may begin a batch of this helper again.
    const std::vector<Prjrep::AutoPtr<IBatchDelay>> held = std::move(m_held);
    m_held.clear();
    for (const Prjrep::AutoPtr<IBatchDelay>& delay : held) std::ignore = delay->EndBatch();
  }

  // A new source is for implementation and, unless `implementationOnly`, for simulation, as
  // the suite adds one by default; a source that was there keeps its views.
  Status AddSource(const Text& source, bool implementationOnly = false) {
    Prjrep::AutoCast<IFileManager> files(m_project.Get());
    if (source.empty() || files.Get() == nullptr) return kFailure;
    Prjrep::AutoRelease<IHdlFile> added;
    const Status status = files->ProjectAddFile(source, nullptr, added.Receive());
    if (status != kSuccess || added.Get() == nullptr) return status == kSuccess ? kFailure : status;
    if (Prjrep::AutoCast<IViewClassAssociation> classes(added.Get()); classes.Get() != nullptr) {
      std::ignore = classes->SetBit(0);
      if (!implementationOnly) std::ignore = classes->SetBit(1);
    }
    return kSuccess;
  }
  Prjrep::AutoRelease<IHdlFile> FileOf(const Text& path) {
    Prjrep::AutoCast<IFileManager> files(m_project.Get());
    Prjrep::AutoRelease<IHdlFile> file;
    if (files.Get() != nullptr && !path.empty()) std::ignore = files->FindFileCompFromName(path, file.Receive());
    return file;
  }
  // The path of a design unit that is one of the bound project's files; empty otherwise.
  Text PathOfOwnUnit(CitI::IInterface* unit) {
    const Text path = FullPathOf(unit);
    Prjrep::AutoRelease<IHdlFile> own = FileOf(path);
    return own.Get() != nullptr && IdentityOf(own.Get()) == IdentityOf(unit) ? path : Text();
  }
  std::string ProjectPath() {
    Prjrep::AutoCast<IProject2> project(m_project.Get());
    Text path;
    if (project.Get() != nullptr) std::ignore = project->GetProjectFilePath(&path);
    return path.str();
  }

  Prjrep::TRefCountHelper<CCvfProjectHelper> m_refCount{this};
  Prjrep::AutoPtr<IProject> m_project;
  Prjrep::AutoPtr<IProject> m_closed;  // closed by CloseProject, until opened again
  Text m_path;
  int m_batches = 0;
  std::vector<Prjrep::AutoPtr<IBatchDelay>> m_held;  // begun on by the open batch
};

}  // namespace
}  // namespace Hvd

// The library's entry for the host: registers the helper's factory and that of the
// hierarchical-design project it carries.
extern "C" void InstFactoryEntry() {
  Hvd::RegisterFactoriesOf<Hvd::CCvfProjectHelper>();
  HdcI::RegisterHDProject();
}
