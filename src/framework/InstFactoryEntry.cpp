// The library's one export: registers a factory for every component class.

#include "CitP/Factory.h"
#include "design/CDesign.h"
#include "design/CDesignPlatform.h"
#include "design/CView.h"
#include "files/CFile.h"
#include "files/CSourceLibrary.h"
#include "files/CZmrFileReader.h"
#include "framework/CAutonymBase.h"
#include "framework/Factory.h"
#include "pr/CConfiguration.h"
#include "pr/CConfigurationElement.h"
#include "pr/CConfigurationMgr.h"
#include "pr/CFlavor.h"
#include "pr/CPRHelper.h"
#include "pr/CPRModule.h"
#include "pr/CPRModuleAutonym.h"
#include "project/CDirectoryProjectBundle.h"
#include "project/CProjRefUtils.h"
#include "project/CProject.h"
#include "project/CProjectAutonym.h"
#include "project/CProjectReference.h"
#include "projectfiles/CProjectInfo.h"
#include "projectfiles/RepoMine.h"
#include "utils/DumperComp.h"

namespace {

// Registers the factory of `X`, then gives up the creation reference: from here on the
// host's registry keeps the factory alive.
template <class X>
void Register() {
  auto* factory = new Port::TFactory<X>();
  auto* asFactory = static_cast<CitI::IFactory*>(factory->QueryInterface(CitI::IFactory::GetIID()));
  if (asFactory == nullptr) return;
  CitP::Factory::RegisterFactory(X::GetCLSID(), asFactory);
  if (auto* count = static_cast<CommonI::IRefCount*>(factory->QueryInterface(CommonI::IRefCount::GetIID()))) {
    count->Release();
  }
}

template <class... X>
void RegisterAll() {
  (Register<X>(), ...);
}

}  // namespace

extern "C" void InstFactoryEntry() {
  using namespace Hvd;
  RegisterAll<CDesignPlatform, CProject, CDesign, CView, CFile, CSourceLibrary, CProjectReference, CZmrFileReader,
              CDirectoryProjectBundle, CConfigurationMgr, CConfiguration, CConfigurationElement, CPRModule, CFlavor,
              CProjectAutonym, CConfigurationMgrAutonym, CConfigurationAutonym, CFlavorAutonym, CPRModuleAutonym,
              CPRHelper, CProjRefUtils, DumperComp, ::RepoMine, CProjectInfo>();
}
