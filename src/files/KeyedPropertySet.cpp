#include "files/KeyedPropertySet.h"

namespace Hvd {

CKeyedPropertySet::CKeyedPropertySet(CitI::IInterface* outer) : m_outer(outer) {
  // The set's unknown queries, its count among them, come back here and so to the outer object.
  std::ignore = m_set.SetOwner(&m_XIKeyedPropertySet);
}

CitI::IInterface* CKeyedPropertySet::QueryInterface(const Port::XUID& iid) {
  if (CitI::IInterface* own =
          Table(Row<IPropertyInstanceSet>(&m_set), Row<IKeyedPropertySet>(&m_XIKeyedPropertySet)).Answer(iid))
    return own;
  if (m_outer != nullptr) return m_outer->QueryInterface(iid);
  return Table(Row<CitI::IInterface>(static_cast<IPropertyInstanceSet*>(&m_set))).Answer(iid);
}

Prjrep::AutoRelease<IPropertyInstance> CKeyedPropertySet::GetProperty(const String& name) {
  auto found = m_set.Entries().find(name);
  if (found == m_set.Entries().end()) return nullptr;
  Prjrep::AddRefObject(found->second);  // the caller's
  return Prjrep::AutoRelease<IPropertyInstance>(found->second);
}

}  // namespace Hvd
