// The string-set component: a list of strings in the order added, duplicates kept.

#include <vector>

#include "Components.h"
#include "Prjrep/IStringSet.h"
#include "core/RefCount.h"
#include "core/StringSets.h"

namespace Prjrep::standins {
namespace {

class CStringSet final : public Hvd::TComponent<CStringSet> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::StringSet(); }

  CStringSet() { std::ignore = m_set.SetOwner(this); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IStringSet>(&m_set), Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

 private:
  TStringSequenceSetHelper<IStringSet, IStringIterator, std::vector<Port::StringBase<char>>> m_set;
  TRefCountHelper<CStringSet> m_refCount{this};
};

}  // namespace

void RegisterStringSet() { Hvd::RegisterFactoriesOf<CStringSet>(); }

}  // namespace Prjrep::standins
