#include "pr/CPRModuleAutonym.h"

#include "core/Interface.h"

namespace Hvd {

CitI::IInterface* CPRModuleAutonym::QueryInterface(const Port::XUID& iid) {
  return AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
}

}  // namespace Hvd
