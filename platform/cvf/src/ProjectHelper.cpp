#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/Status.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Factory.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

// The project that is open on `path`: its repository, which the process-wide registry knows
// by the path, names it "ActiveHvdProject". Null when there is none.
Prjrep::AutoRelease<IProject> OpenProjectOf(const Text& path) {
  Prjrep::AutoRelease<Prjrep::IAutonymLookup> registry(
      CitP::Factory::CreateInstance(Prjrep::ClassId::NamedObjectRegistry()));
  Prjrep::AutoRelease<Prjrep::IAutonym> name(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  Prjrep::AutoCast<Prjrep::IName> naming(name.Get());
  if (registry.Get() == nullptr || naming.Get() == nullptr || naming->SetName(path) != kSuccess) return nullptr;
  Prjrep::AutoRelease<CitI::IInterface> repository;
  std::ignore = registry->Resolve(name, repository.Receive());
  Prjrep::AutoCast<Prjrep::ISimpleNamedLookup> names(repository.Get());
  Prjrep::AutoRelease<CitI::IInterface> project;
  if (names.Get() != nullptr) std::ignore = names->Find("ActiveHvdProject", project.Receive());
  return Prjrep::AutoRelease<IProject>(std::move(project));
}

// The project helper: the path it was opened on and the project it is bound to.
class CCvfProjectHelper final : public TComponent<CCvfProjectHelper> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::ProjectHelperClassId(); }

  auto QueryTable() {
    return Table(Row<IProjectHelper>(&m_XIProjectHelper), Row<IProjectHelper2>(&m_XIProjectHelper2),
                 Row<IProjSrcHelper>(&m_XIProjSrcHelper), Row<IProjectCompReference>(&m_XIProjectCompReference),
                 Row<ISourceViewAssoc>(&m_XISourceViewAssoc),
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
    Status MakeProject(const Text& path) override {
      if (path.empty()) return kFailure;
      This().m_path = path;
      Prjrep::AutoRelease<IProject> made(CitP::Factory::CreateInstance(ClassId::Project()));
      if (made.Get() == nullptr) return kFailure;
      const Status status = made->Open(path);
      if (status == kSuccess) This().m_project.Assign(made.Get());
      return status;
    }
    Status AfterSourcesChanged(std::int32_t) override {
      // Held across the call, in case saving reaches back and unbinds the project.
      const Prjrep::AutoPtr<IProject> project = This().m_project;
      return project.Get() == nullptr ? kSuccess : project->Save();
    }
    // The bound project is closed without saving and let go. One that was open is kept, to be
    // opened again by OpenProject; one that would not close stays bound.
    Status CloseProject() override {
      const Prjrep::AutoPtr<IProject> project = This().m_project;
      This().m_path = Text();
      This().m_project.Assign(nullptr);
      bool open = false;
      if (project.Get() == nullptr || project->IsOpen(&open) != kSuccess || !open) return kSuccess;
      const Status closed = project->ProjectClose(false);
      if (closed == kSuccess) {
        This().m_closed = project;
      } else {
        This().m_project = project;
      }
      return closed;
    }
    Status AfterMakeProject() override { return kSuccess; }
    Status GetProject(CitI::IInterface** project) override { return This().HandOutProject(project); }
  } m_XIProjectHelper{this};

  struct XIProjectHelper2 : TNested<CCvfProjectHelper, IProjectHelper2> {
    using TNested::TNested;
    // A project already open on the path is the one the helper is bound to; else the project
    // that CloseProject closed is opened again on it, and bound when it opens.
    Status OpenProject(const Text& path) override {
      if (path.empty()) return kFailure;
      This().m_path = path;
      if (Prjrep::AutoRelease<IProject> open = OpenProjectOf(path); open.Get() != nullptr) {
        std::ignore = This().m_project.Assign(open.Get());
        This().m_closed.Assign(nullptr);
        return kSuccess;
      }
      const Prjrep::AutoPtr<IProject> closed = This().m_closed;
      if (closed.Get() == nullptr) return kSuccess;
      This().m_closed.Assign(nullptr);
      const Status opened = closed->Open(path);
      bool open = false;
      // A project that opened with errors is open all the same, and stays in hand.
      if (closed->IsOpen(&open) == kSuccess && open) std::ignore = This().m_project.Assign(closed.Get());
      return opened;
    }
    Status GetProject(CitI::IInterface** project) override { return This().HandOutProject(project); }
  } m_XIProjectHelper2{this};

  struct XIProjSrcHelper : TNested<CCvfProjectHelper, IProjSrcHelper> {
    using TNested::TNested;
    // The source joins the bound project's files.
    Status AddProjectSource(const Text& source, std::int32_t) override {
      Prjrep::AutoCast<IFileManager> files(This().m_project.Get());
      if (source.empty() || files.Get() == nullptr) return kFailure;
      Prjrep::AutoRelease<IHdlFile> added;
      const Status status = files->ProjectAddFile(source, nullptr, added.Receive());
      return status == kSuccess && added.Get() != nullptr ? kSuccess : (status == kSuccess ? kFailure : status);
    }
    Status HandOverSource(const Text&) override { return kNotSupported; }
    Status SetSourceViewAssociation(CitI::IInterface*, std::int32_t) override { return kNotSupported; }
  } m_XIProjSrcHelper{this};

  struct XISourceViewAssoc : TNested<CCvfProjectHelper, ISourceViewAssoc> {
    using TNested::TNested;
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

  Prjrep::TRefCountHelper<CCvfProjectHelper> m_refCount{this};
  Prjrep::AutoPtr<IProject> m_project;
  Prjrep::AutoPtr<IProject> m_closed;  // closed by CloseProject, until opened again
  Text m_path;
};

}  // namespace
}  // namespace Hvd

// The library's entry for the host: registers the helper's factory.
extern "C" void InstFactoryEntry() {
  Hvd::RegisterFactoriesOf<Hvd::CCvfProjectHelper>();
}
