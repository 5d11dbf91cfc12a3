#include <utility>
#include <vector>

#include "Components.h"
#include "Prjrep/ClassIds.h"
#include "Hvd/Status.h"
#include "NameTable.h"
#include "Prjrep/IStringSet.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::standins {
namespace {

using Hvd::kFailure;
using Hvd::kNotSupported;
using Hvd::kSuccess;
using Hvd::Status;
using Text = Port::StringBase<char>;

// Walks a copy of the names taken when it was made, so that the table may change (or go)
// while it lives.
class CNameIterator final : public Hvd::TComponent<CNameIterator, IStringIterator> {
 public:
  // A new iterator over `names`, with its one reference for the caller.
  static AutoRelease<IStringIterator> Create(std::vector<Text> names) {
    return AutoRelease<IStringIterator>(new CNameIterator(std::move(names)));
  }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IStringIterator>(this), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  Text Current() override { return IsDone() ? Text() : m_names[m_at]; }
  Status Reset() override { return m_at = 0, kSuccess; }
  Status Next() override { return IsDone() ? kFailure : (++m_at, kSuccess); }
  bool IsDone() override { return m_at >= m_names.size(); }

 private:
  explicit CNameIterator(std::vector<Text> names) : m_names(std::move(names)) {}

  std::vector<Text> m_names;
  std::size_t m_at = 0;
  TRefCountHelper<CNameIterator> m_refCount{this};
};

// The operation gate: a name table of its own, whose names can also be read as a set of
// strings. The names change only through the lookup.
class COperationGate final : public Hvd::TComponent<COperationGate> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::OperationGate(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<ISimpleNamedLookup>(&m_XISimpleNamedLookup), Hvd::Row<IStringSet>(&m_XIStringSet),
                      Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<IRefCountV1>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

  names::CNameTable& Table() { return m_table; }

 private:
  struct XIStringSet : Hvd::TNested<COperationGate, IStringSet> {
    using TNested::TNested;
    Status Add(Text) override { return kNotSupported; }
    Status Remove(IStringIterator*) override { return kNotSupported; }
    Status GetIterator(IStringIterator** out) override {
      AutoOut<IStringIterator> result(out);
      if (out == nullptr) return kFailure;
      return result.Assign(CNameIterator::Create(This().m_table.Names()));
    }
    std::size_t Size() override { return This().m_table.NameCount(); }
    Status Clear() override { return kNotSupported; }
  } m_XIStringSet{this};

  names::XISimpleNamedLookup<COperationGate> m_XISimpleNamedLookup{this};
  TRefCountHelper<COperationGate> m_refCount{this};
  names::CNameTable m_table;
};

}  // namespace

void RegisterOperationGate() { Hvd::RegisterFactoriesOf<COperationGate>(); }

void RegisterSharedOperationGate() {
  AutoRelease<ISimpleNamedLookup> registry(CitP::Factory::CreateInstance(ClassId::NamedObjectRegistry()));
  AutoRelease<CitI::IInterface> gate(CitP::Factory::CreateInstance(COperationGate::GetCLSID()));
  // Add, not Register: a gate already in use keeps its names when the library registers again.
  if (registry.Get() != nullptr) std::ignore = registry->Add("OperationGate", gate.Get());
}

}  // namespace Prjrep::standins
