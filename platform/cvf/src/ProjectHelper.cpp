#include "CitP/Factory.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/Status.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Factory.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

// The project helper: the path it was opened on and the project it is bound to.
class CCvfProjectHelper final : public TComponent<CCvfProjectHelper> {
 public:
  static const Port::XUID& GetCLSID() { return Hvd::ProjectHelperClassId(); }

  auto QueryTable() {
    return Table(Row<IProjectHelper>(&m_XIProjectHelper), Row<IProjectCompReference>(&m_XIProjectCompReference),
                 Row<ISourceViewAssoc>(&m_XISourceViewAssoc),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }

 private:
  struct XIProjectHelper : TNested<CCvfProjectHelper, IProjectHelper> {
    using TNested::TNested;
    Status OpenProject(const Text& path) override {
      if (path.empty()) return kFailure;
      This().m_path = path;
      return kSuccess;
    }
    Status SaveProject(std::int32_t) override {
      // Held across the call, in case saving reaches back and unbinds the project.
      const Prjrep::AutoPtr<IProject> project = This().m_project;
      return project.Get() == nullptr ? kSuccess : project->Save();
    }
    Status CloseProject() override {
      This().m_path = Text();
      This().m_project.Assign(nullptr);
      return kSuccess;
    }
    Status GetProjectObject(CitI::IInterface** project) override {
      Prjrep::AutoOut<CitI::IInterface> result(project);
      if (project == nullptr || This().m_project.Get() == nullptr) return kFailure;
      return result.Assign(This().m_project.Get());
    }
    // Nothing of the sources is kept here.
    Status AfterSourcesChanged(std::int32_t) override { return kSuccess; }
  } m_XIProjectHelper{this};

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
  Text m_path;
};

}  // namespace
}  // namespace Hvd

// The library's entry for the host: registers the helper's factory.
extern "C" void InstFactoryEntry() {
  Hvd::RegisterFactoriesOf<Hvd::CCvfProjectHelper>();
}
