// The manager's two sets and how configurations and members are told apart.
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "pr/CConfigurationMgr.h"
#include "pr/PRShared.h"
#include "utils/DmUtils.h"

namespace Hvd {

CConfigurationMgr::CConfigurationMgr()
    : m_configurations(static_cast<IConfigurationSet*>(new CConfigurationSetHelper)),
      m_modules(static_cast<IPRModuleSet*>(new CPRModuleSetHelper)) {}

Status CConfigurationMgr::CPRModuleSetHelper::Remove(IPRModuleIterator* iterator) {
  if (iterator != nullptr && !iterator->IsDone()) std::ignore = SaveOwningCvfProject(iterator->Current(), nullptr);
  return CPlainPRModuleSetHelper::Remove(iterator);
}

IConfigurationSet* CConfigurationMgr::Configurations() {
  if (m_configurations.Get() == nullptr) {
    Port_MsgManData::debugStub(
        "Creating a new ConfigurationSet. This ConfigurationMgr may have already been uninitialized.\n");
    m_configurations.Assign(static_cast<IConfigurationSet*>(new CConfigurationSetHelper));
  }
  return m_configurations.Get();
}

IPRModuleSet* CConfigurationMgr::Modules() {
  if (m_modules.Get() == nullptr) {
    Port_MsgManData::debugStub(
        "Creating a new PRModuleSet. This ConfigurationMgr may have already been uninitialized.\n");
    m_modules.Assign(static_cast<IPRModuleSet*>(new CPlainPRModuleSetHelper));
  }
  return m_modules.Get();
}

bool CConfigurationMgr::IsSameConfiguration(CitI::IInterface* first, CitI::IInterface* second) {
  if (first == nullptr || second == nullptr) return false;
  const Port::StringBase<char> firstPath = GetObjectFullPath(first);
  const Port::StringBase<char> secondPath = GetObjectFullPath(second);
  if (firstPath.empty() || secondPath.empty()) return pr::SameObject(first, second);
  return Port::File::namematch(firstPath.c_str(), secondPath.c_str()) == 1;
}

Prjrep::AutoRelease<IConfigurationIterator> CConfigurationMgr::FindMember(IConfiguration* configuration) {
  Prjrep::AutoRelease<IConfigurationIterator> it;
  if (configuration == nullptr || Configurations()->GetIterator(it.Receive()) != kSuccess) return nullptr;
  for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
    if (it->Current() == configuration) return it;
  }
  return nullptr;
}

}  // namespace Hvd
