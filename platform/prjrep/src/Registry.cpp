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
class CNamedObjectRegistry final : public CitI::IInterface {
 public:
  static const Port::XUID& GetCLSID() { return RegistryClassId(); }

  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{ISimpleNamedLookup::GetIID(), &m_named},
                                  {IAutonymLookup::GetIID(), &m_autonyms},
                                  {IRefCount::GetIID(), &m_refCount},
                                  {IRefCountV1::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), this}});
  }

  names::CNameTable& Table() { return SharedTable(); }

 private:
  names::TNamedLookup<CNamedObjectRegistry> m_named{this};
  names::TAutonymLookup<CNamedObjectRegistry> m_autonyms{this};
  TRefCountHelper<CNamedObjectRegistry> m_refCount{this};
};

}  // namespace

void RegisterRegistry() { RegisterFactoryOf<CNamedObjectRegistry>(); }

}  // namespace Prjrep::standins

namespace Prjrep {

void ResetNamedObjectRegistry() { standins::SharedTable().Clear(); }

}  // namespace Prjrep
