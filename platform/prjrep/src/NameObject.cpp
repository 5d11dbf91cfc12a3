// The name object: one name held on its own, as lists of names hand them out.

#include "Components.h"
#include "Prjrep/IName.h"
#include "core/RefCount.h"

namespace Prjrep::standins {
namespace {

class CNameObject final : public Hvd::TComponent<CNameObject> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::NameObject(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IName>(&m_XIName), Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<IRefCountV1>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

 private:
  struct XIName : Hvd::TNested<CNameObject, IName> {
    using TNested::TNested;
    Hvd::Status SetName(const Port::StringBase<char>& name) override {
      This().m_name = name;
      return Hvd::kSuccess;
    }
    Hvd::Status GetName(Port::StringBase<char>& name) override {
      name = This().m_name;
      return Hvd::kSuccess;
    }
    // The object answers for itself alone, whatever owner it is told.
    Hvd::Status SetOwner(CitI::IInterface*) override { return Hvd::kSuccess; }
  } m_XIName{this};

  TRefCountHelper<CNameObject> m_refCount{this};
  Port::StringBase<char> m_name;
};

}  // namespace

void RegisterNameObject() { Hvd::RegisterFactoriesOf<CNameObject>(); }

}  // namespace Prjrep::standins
