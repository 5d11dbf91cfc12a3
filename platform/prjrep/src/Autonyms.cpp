#include <vector>

#include "AutonymPart.h"
#include "Components.h"
#include "Prjrep/ClassIds.h"
#include "Hvd/Status.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IName.h"
#include "Prjrep/IProjectRepository.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"
#include "core/Sets.h"

namespace Prjrep::standins {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;
using Text = Port::StringBase<char>;

// An autonym named by a project-file path: it stands for the repository of that file.
class CSimpleAutonym final : public Hvd::TComponent<CSimpleAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::SimpleAutonym(); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IAutonym>(&m_XIAutonym), Hvd::Row<IName>(&m_XIName), Hvd::Row<IPersist>(&m_persist),
                      Hvd::Row<IRefCount>(&m_refCount), Hvd::Row<IRefCountV1>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }

  Status LoadFrom(IStorage* storage) {
    Text name;
    if (const Status status = storage->ReadString(&name); status != kSuccess) return status;
    Rename(name);
    return kSuccess;
  }
  Status SaveTo(IStorage* storage) { return storage->WriteString(&m_name); }

  Status NameOf(Text& name) const {
    name = m_name;
    return kSuccess;
  }
  CitI::IInterface* Held() const { return m_object.Get(); }

 private:
  // The object held stood for the old path.
  void Rename(const Text& name) {
    if (name == m_name) return;
    m_name = name;
    m_object.Assign(nullptr);
  }

  struct XIName : Hvd::TNested<CSimpleAutonym, IName> {
    using TNested::TNested;
    Status SetName(const Text& name) override { return This().Rename(name), kSuccess; }
    Status GetName(Text& name) override { return name = This().m_name, kSuccess; }
    // The autonym answers for itself only.
    Status SetOwner(CitI::IInterface*) override { return kSuccess; }
  } m_XIName{this};

  struct XIAutonym final : TAutonymPart<CSimpleAutonym> {
    using TAutonymPart::TAutonymPart;
    Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override;
  } m_XIAutonym{this};
  TPersistHelper<CSimpleAutonym> m_persist{this};
  TRefCountHelper<CSimpleAutonym> m_refCount{this};
  Text m_name;
  AutoPtr<CitI::IInterface> m_object;
};

// What it holds; else what the registry knows by an autonym of the same name; else a
// repository opened on the path, which it keeps from then on.
Status CSimpleAutonym::XIAutonym::Resolve(CitI::IInterface*, CitI::IInterface** object) {
  CSimpleAutonym& self = This();
  AutoOut<CitI::IInterface> result(object);
  if (object == nullptr) return kFailure;
  if (self.m_object.Get() != nullptr) return result.Assign(self.m_object.Get());
  if (self.m_name.empty()) return kFailure;

  AutoRelease<IAutonymLookup> registry(CitP::Factory::CreateInstance(ClassId::NamedObjectRegistry()));
  AutoRelease<CitI::IInterface> found;
  if (registry.Get() != nullptr && registry->Resolve(this, found.Receive()) == kSuccess && found.Get() != nullptr) {
    return result.Assign(found.Get());
  }

  AutoRelease<IProjectRepositoryInternal> repository(CitP::Factory::CreateInstance(ClassId::Repository()));
  AutoRelease<IStorage> root;
  if (repository.Get() == nullptr) return kFailure;
  if (const Status status = repository->Open(self.m_name, "", kCreate, root.Receive(), nullptr); status != kSuccess) {
    return status;
  }
  self.m_object.Assign(repository.Get());
  return result.Assign(self.m_object.Get());
}

// A compound can be made to contain itself, directly or through another compound: walks
// over elements stop failing at this depth instead of running out of stack.
class WalkDepth {
 public:
  static constexpr int kMax = 64;
  WalkDepth() : m_within(++t_depth <= kMax) {}
  ~WalkDepth() { --t_depth; }
  WalkDepth(const WalkDepth&) = delete;
  WalkDepth& operator=(const WalkDepth&) = delete;
  explicit operator bool() const { return m_within; }

 private:
  static thread_local int t_depth;
  const bool m_within;
};
thread_local int WalkDepth::t_depth = 0;

using CAutonymList = TSequenceSetHelper<IAutonym*, IAutonymSet, IAutonymIterator, std::vector<IAutonym*>>;

// A path of autonyms: each element resolves in the object that the one before it resolved
// to. It holds no object, so one released elsewhere is looked up again next time.
class CCompoundAutonym final : public Hvd::TComponent<CCompoundAutonym> {
 public:
  static const Port::XUID& GetCLSID() { return Prjrep::ClassId::CompoundAutonym(); }

  CCompoundAutonym() { std::ignore = m_elements.SetOwner(this); }

  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IAutonym>(&m_XIAutonym), Hvd::Row<IAutonymSet>(&m_elements),
                      Hvd::Row<IPersist>(&m_persist), Hvd::Row<IRefCount>(&m_refCount),
                      Hvd::Row<IRefCountV1>(&m_refCount), Hvd::Row<CitI::IInterface>(this));
  }

  Status LoadFrom(IStorage* storage) { return m_elements.PersistLoad(storage); }
  Status SaveTo(IStorage* storage) { return m_elements.PersistSave(storage); }

  // The elements' names joined with "|", so that compounds of equal elements are the same.
  Status NameOf(Text& name) {
    const WalkDepth depth;
    if (!depth) return kFailure;
    Text joined;
    bool first = true;
    for (const AutoPtr<IAutonym>& element : Elements()) {
      Text part;
      if (const Status status = element->GetName(&part); status != kSuccess) return status;
      if (!first) joined += "|";
      joined += part;
      first = false;
    }
    name = joined;
    return kSuccess;
  }
  CitI::IInterface* Held() const { return nullptr; }

 private:
  // Held by the caller, since resolving an element may change the set.
  std::vector<AutoPtr<IAutonym>> Elements() {
    std::vector<AutoPtr<IAutonym>> elements;
    AutoRelease<IAutonymIterator> it;
    if (m_elements.GetIterator(it.Receive()) != kSuccess) return elements;
    for (; !it->IsDone(); std::ignore = it->Next()) elements.emplace_back(it->Current());
    return elements;
  }

  struct XIAutonym final : TAutonymPart<CCompoundAutonym> {
    using TAutonymPart::TAutonymPart;
    Status Resolve(CitI::IInterface* context, CitI::IInterface** object) override;
  } m_XIAutonym{this};
  CAutonymList m_elements;
  TPersistHelper<CCompoundAutonym> m_persist{this};
  TRefCountHelper<CCompoundAutonym> m_refCount{this};
};

Status CCompoundAutonym::XIAutonym::Resolve(CitI::IInterface* context, CitI::IInterface** object) {
  AutoOut<CitI::IInterface> result(object);
  const WalkDepth depth;
  if (object == nullptr || !depth) return kFailure;
  const std::vector<AutoPtr<IAutonym>> elements = This().Elements();
  if (elements.empty()) return kFailure;
  AutoRelease<CitI::IInterface> resolved;
  CitI::IInterface* within = context;
  for (const AutoPtr<IAutonym>& element : elements) {
    AutoRelease<CitI::IInterface> next;
    if (element->Resolve(within, next.Receive()) != kSuccess || next.Get() == nullptr) return kFailure;
    resolved = std::move(next);
    within = resolved.Get();
  }
  return result.Assign(resolved.Get());
}

}  // namespace

void RegisterAutonyms() {
  Hvd::RegisterFactoriesOf<CSimpleAutonym>();
  Hvd::RegisterFactoriesOf<CCompoundAutonym>();
}

}  // namespace Prjrep::standins
