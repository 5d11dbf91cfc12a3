#include "CitP/Factory.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/Status.h"
#include "framework/Factory.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Hvd {
namespace {

using Text = Port::StringBase<char>;

// The project helper: the path it was opened on and the project it is bound to.
class CCvfProjectHelper final : public CitI::IInterface {
 public:
  CITI_DECLARE_CLSID("{0725c3d2-5e9b-4383-a7b6-a80c932eac21}")

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return AnswerQuery(iid, {{IProjectHelper::GetIID(), &m_XIProjectHelper},
                             {IProjectCompReference::GetIID(), &m_XIProjectCompReference},
                             {Prjrep::IRefCount::GetIID(), &m_refCount},
                             {Prjrep::IRefCountV1::GetIID(), &m_refCount},
                             {CitI::IInterface::GetIID(), this}});
  }

 private:
  struct XIProjectHelper : TNested<CCvfProjectHelper, IProjectHelper> {
    using TNested::TNested;
    Status OpenProject(const Text& path) override {
      if (path.empty()) return kFailure;
      m_pThis->m_path = path;
      return kSuccess;
    }
    Status SaveProject(std::int32_t) override {
      // Held across the call, in case saving reaches back and unbinds the project.
      const Prjrep::AutoPtr<IProject> project = m_pThis->m_project;
      return project.Get() == nullptr ? kSuccess : project->Save();
    }
    Status CloseProject() override {
      m_pThis->m_path = Text();
      m_pThis->m_project.Assign(nullptr);
      return kSuccess;
    }
    Status GetProjectObject(CitI::IInterface** project) override {
      Prjrep::AutoOut<CitI::IInterface> result(project);
      if (project == nullptr || m_pThis->m_project.Get() == nullptr) return kFailure;
      return result.Assign(m_pThis->m_project.Get());
    }
  } m_XIProjectHelper{this};

  struct XIProjectCompReference : TNested<CCvfProjectHelper, IProjectCompReference> {
    using TNested::TNested;
    Status SetProject(CitI::IInterface* project) override {
      Prjrep::AutoCast<IProject> bound(project);
      if (project != nullptr && bound.Get() == nullptr) return kFailure;
      return m_pThis->m_project.Assign(bound.Get());
    }
    Status GetProject(IProject** project) override {
      Prjrep::AutoOut<IProject> result(project);
      if (project == nullptr || m_pThis->m_project.Get() == nullptr) return kFailure;
      return result.Assign(m_pThis->m_project.Get());
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
  auto* factory = new Port::TFactory<Hvd::CCvfProjectHelper>();
  CitP::Factory::RegisterFactory(Hvd::CCvfProjectHelper::GetCLSID(), factory);
  Prjrep::ReleaseInterface(factory);
}
