#include "files/CSourceLibrary.h"

#include "core/Interface.h"

namespace Hvd {

CitI::IInterface* CSourceLibrary::QueryInterface(const Port::XUID& iid) {
  return AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
}

}  // namespace Hvd
