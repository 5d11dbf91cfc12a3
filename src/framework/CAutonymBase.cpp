#include "framework/CAutonymBase.h"

#include "framework/Interface.h"

namespace Hvd {

CitI::IInterface* CAutonymBase::QueryInterface(const Port::XUID& iid) {
  return AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
}

}  // namespace Hvd
