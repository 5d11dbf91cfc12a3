#include "projectfiles/RepoMine.h"

#include "core/Interface.h"

CitI::IInterface* RepoMine::QueryInterface(const Port::XUID& iid) {
  return Hvd::AnswerQuery(iid, {{Prjrep::IRefCount::GetIID(), &m_refCount}, {CitI::IInterface::GetIID(), this}});
}
