#include "Components.h"
#include "NameTable.h"
#include "Prjrep/StandIns.h"

namespace Prjrep::standins {
namespace {

// Never destroyed: objects registered until exit must not be released after their
// libraries' teardown. ResetNamedObjectRegistry empties it.
names::CNameTable& SharedTable() {
  static auto* const s_table = new names::CNameTable();
  return *s_table;
}

// The named-object registry: every instance answers from the one process-wide table.
class CNamedObjectRegistry final : public Hvd::TComponent<CNamedObjectRegistry> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::NamedObjectRegistry(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<ISimpleNamedLookup>(&m_XISimpleNamedLookup),
                      Hvd::Row<IAutonymLookup>(&m_XIAutonymLookup), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  names::CNameTable& Table() { return SharedTable(); }

 private:
  names::XISimpleNamedLookup<CNamedObjectRegistry> m_XISimpleNamedLookup{this};
  names::XIAutonymLookup<CNamedObjectRegistry> m_XIAutonymLookup{this};
  TRefCountHelper<CNamedObjectRegistry> m_refCount{this};
};

// A name table of its own, such as the one a project's named lookups go to.
class CNamedLookupTable final : public Hvd::TComponent<CNamedLookupTable> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::NamedLookupTable(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<ISimpleNamedLookup>(&m_XISimpleNamedLookup),
                      Hvd::Row<IAutonymLookup>(&m_XIAutonymLookup), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

  names::CNameTable& Table() { return m_table; }

 private:
  names::CNameTable m_table;
  names::XISimpleNamedLookup<CNamedLookupTable> m_XISimpleNamedLookup{this};
  names::XIAutonymLookup<CNamedLookupTable> m_XIAutonymLookup{this};
  TRefCountHelper<CNamedLookupTable> m_refCount{this};
};

}  // namespace

void RegisterRegistry() { Hvd::RegisterFactoriesOf<CNamedObjectRegistry, CNamedLookupTable>(); }

}  // namespace Prjrep::standins

namespace Prjrep {

void ResetNamedObjectRegistry() { standins::SharedTable().Clear(); }

}  // namespace Prjrep
