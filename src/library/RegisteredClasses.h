#pragma once
// Every component class that the library registers, in registration order: the one table
// that InstFactoryEntry and the tests read.

#include <vector>

#include "design/design/CDesign.h"
#include "design/platform/CDesignPlatform.h"
#include "design/view/CView.h"
#include "files/CZmrFileReader.h"
#include "files/file/CFile.h"
#include "files/library/CSourceLibrary.h"
#include "framework/CAutonymBase.h"
#include "pr/CConfiguration.h"
#include "pr/CConfigurationElement.h"
#include "pr/CConfigurationMgr.h"
#include "pr/CFlavor.h"
#include "pr/CPRHelper.h"
#include "pr/CPRModule.h"
#include "pr/CPRModuleAutonym.h"
#include "project/copy/CDirectoryProjectBundle.h"
#include "project/CProjRefUtils.h"
#include "project/CProjectAutonym.h"
#include "project/CProjectReference.h"
#include "project/project/CProject.h"
#include "projectfiles/projectinfo/CProjectInfo.h"
#include "projectfiles/RepoMine.h"
#include "utils/DumperComp.h"

namespace Hvd {

template <class... X>
struct TypeList {};

// The class ids of the classes of a list, in its order.
template <class... X>
std::vector<Port::XUID> ClassIdsOf(TypeList<X...>) {
  return {X::GetCLSID()...};
}

using RegisteredClasses =
    TypeList<CDesignPlatform, CProject, CDesign, CView, CFile, CSourceLibrary, CProjectReference, CZmrFileReader,
             CDirectoryProjectBundle, CConfigurationMgr, CConfiguration, CConfigurationElement, CPRModule, CFlavor,
             CProjectAutonym, CConfigurationMgrAutonym, CConfigurationAutonym, CFlavorAutonym, CPRModuleAutonym,
             CPRHelper, CProjRefUtils, DumperComp, ::RepoMine, CProjectInfo>;

}  // namespace Hvd
