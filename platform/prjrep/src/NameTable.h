#pragma once
// A table of names and autonyms to objects, and the nested lookups of the components that
// answer from one.

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Hvd/Status.h"
#include "Prjrep/IAutonym.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::names {

template <class Owner>
struct XISimpleNamedLookup;
template <class Owner>
struct XIAutonymLookup;

// Keeps one reference on every registered object and autonym. Objects are compared by
// their root interface. References are given up only once the table is consistent again,
// since an object's destruction may reach back into it. Not thread-safe. The lookups below
// are its only writers.
class CNameTable {
 public:
  CNameTable() = default;
  CNameTable(const CNameTable&) = delete;
  CNameTable& operator=(const CNameTable&) = delete;
  ~CNameTable() { Clear(); }

  // Withdraws every entry.
  void Clear();

  // The registered names, in name order.
  std::size_t NameCount() const { return m_names.size(); }
  std::vector<Port::StringBase<char>> Names() const;

 private:
  template <class Owner>
  friend struct XISimpleNamedLookup;
  template <class Owner>
  friend struct XIAutonymLookup;

  struct AutonymEntry {
    AutoPtr<IAutonym> autonym;
    AutoPtr<CitI::IInterface> object;
  };

  // The index of the first entry whose autonym IsSame as `autonym`, or the entry count.
  std::size_t Match(IAutonym* autonym);
  // Withdraws every name and autonym entry of the object whose root is `root`; false when
  // there was none.
  bool Withdraw(CitI::IInterface* root);

  std::map<std::string, AutoPtr<CitI::IInterface>> m_names;
  std::vector<AutonymEntry> m_autonyms;  // in registration order
};

// The root interface by which the table compares objects.
using Hvd::RootOf;

// ISimpleNamedLookup of a component whose Table() is the table.
template <class Owner>
struct XISimpleNamedLookup final : Hvd::TNested<Owner, ISimpleNamedLookup> {
  using Hvd::TNested<Owner, ISimpleNamedLookup>::TNested;

  Hvd::Status Find(const Port::StringBase<char>& name, CitI::IInterface** object) override {
    AutoOut<CitI::IInterface> result(object);
    CNameTable& table = this->This().Table();
    const auto found = table.m_names.find(name.str());
    if (object == nullptr || found == table.m_names.end()) return Hvd::kFailure;
    return result.Assign(found->second.Get());
  }
  Hvd::Status Add(const Port::StringBase<char>& name, CitI::IInterface* object) override {
    CNameTable& table = this->This().Table();
    AutoPtr<CitI::IInterface> held(object);
    if (held.Get() == nullptr || table.m_names.count(name.str()) != 0) return Hvd::kFailure;
    table.m_names.emplace(name.str(), std::move(held));
    return Hvd::kSuccess;
  }
  // Null clears the name: whoever registers null means "nothing stands for it now".
  Hvd::Status Register(const Port::StringBase<char>& name, CitI::IInterface* object) override {
    if (object == nullptr) {
      std::ignore = Unregister(name);
      return Hvd::kSuccess;
    }
    AutoPtr<CitI::IInterface> held(object);  // after the swap: what the name stood for
    std::swap(this->This().Table().m_names[name.str()], held);
    return Hvd::kSuccess;
  }
  Hvd::Status Unregister(const Port::StringBase<char>& name) override {
    CNameTable& table = this->This().Table();
    const auto found = table.m_names.find(name.str());
    if (found == table.m_names.end()) return Hvd::kFailure;
    const AutoPtr<CitI::IInterface> released = std::move(found->second);
    table.m_names.erase(found);
    return Hvd::kSuccess;
  }
  Hvd::Status UnregisterObject(CitI::IInterface* object) override {
    CitI::IInterface* const root = RootOf(object);
    if (root == nullptr) return Hvd::kFailure;
    return this->This().Table().Withdraw(root) ? Hvd::kSuccess : Hvd::kFailure;
  }
};

// IAutonymLookup of a component whose Table() is the table.
template <class Owner>
struct XIAutonymLookup final : Hvd::TNested<Owner, IAutonymLookup> {
  using Hvd::TNested<Owner, IAutonymLookup>::TNested;

  Hvd::Status Resolve(IAutonym* autonym, CitI::IInterface** object) override {
    AutoOut<CitI::IInterface> result(object);
    if (autonym == nullptr || object == nullptr) return Hvd::kFailure;
    CNameTable& table = this->This().Table();
    const std::size_t at = table.Match(autonym);
    if (at == table.m_autonyms.size()) return Hvd::kFailure;
    return result.Assign(table.m_autonyms[at].object.Get());
  }
  Hvd::Status ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object) override {
    AutoOut<CitI::IInterface> result(object);
    if (autonym == nullptr || object == nullptr) return Hvd::kFailure;
    AutoRelease<CitI::IInterface> found;
    if (Resolve(autonym, found.Receive()) == Hvd::kSuccess) return result.Assign(found.Get());
    // Without a context, an autonym resolves among what the active configuration manager
    // holds (a module autonym read from storage finds its module there).
    AutoPtr<CitI::IInterface> manager;  // held: resolving may change the table
    if (context == nullptr) {
      CNameTable& table = this->This().Table();
      if (const auto named = table.m_names.find("ActiveConfigManager"); named != table.m_names.end()) {
        manager = named->second;
        context = manager.Get();
      }
    }
    const Hvd::Status status = autonym->Resolve(context, found.Receive());
    if (found.Get() == nullptr) return status;
    if (const Hvd::Status registered = Register(autonym, found.Get()); registered != Hvd::kSuccess) return registered;
    return result.Assign(found.Get());
  }
  Hvd::Status Register(IAutonym* autonym, CitI::IInterface* object) override {
    CNameTable& table = this->This().Table();
    CNameTable::AutonymEntry entry{AutoPtr<IAutonym>(autonym),
                                   AutoPtr<CitI::IInterface>(object)};  // after the swap: the replaced one
    if (entry.autonym.Get() == nullptr || entry.object.Get() == nullptr) return Hvd::kFailure;
    const std::size_t at = table.Match(autonym);
    if (at == table.m_autonyms.size()) {
      table.m_autonyms.push_back(std::move(entry));
    } else {
      std::swap(table.m_autonyms[at].autonym, entry.autonym);
      std::swap(table.m_autonyms[at].object, entry.object);
    }
    return Hvd::kSuccess;
  }
  Hvd::Status FindAutonym(CitI::IInterface* object, IAutonym** autonym) override {
    AutoOut<IAutonym> result(autonym);
    CitI::IInterface* const root = RootOf(object);
    if (root == nullptr || autonym == nullptr) return Hvd::kFailure;
    for (const CNameTable::AutonymEntry& entry : this->This().Table().m_autonyms) {
      if (entry.object.Get() == root) return result.Assign(entry.autonym.Get());
    }
    return Hvd::kFailure;
  }
  Hvd::Status Unregister(IAutonym* autonym) override {
    if (autonym == nullptr) return Hvd::kFailure;
    CNameTable& table = this->This().Table();
    const std::size_t at = table.Match(autonym);
    if (at == table.m_autonyms.size()) return Hvd::kFailure;
    const CNameTable::AutonymEntry released = std::move(table.m_autonyms[at]);
    table.m_autonyms.erase(table.m_autonyms.begin() + static_cast<std::ptrdiff_t>(at));
    return Hvd::kSuccess;
  }
};

}  // namespace Prjrep::names
