#pragma once
// A table of names and autonyms to objects, and the nested lookups of the components that
// answer from one.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Prjrep/IAutonym.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::names {

// Keeps one reference on every registered object and autonym. Objects are compared by
// their root interface. References are given up only once the table is consistent again,
// since an object's destruction may reach back into it. Not thread-safe.
class CNameTable {
 public:
  CNameTable() = default;
  CNameTable(const CNameTable&) = delete;
  CNameTable& operator=(const CNameTable&) = delete;
  ~CNameTable() { Clear(); }

  std::uint64_t Find(const Port::StringBase<char>& name, CitI::IInterface** object);
  std::uint64_t Add(const Port::StringBase<char>& name, CitI::IInterface* object);
  std::uint64_t Register(const Port::StringBase<char>& name, CitI::IInterface* object);
  std::uint64_t Unregister(const Port::StringBase<char>& name);
  std::uint64_t UnregisterObject(CitI::IInterface* object);

  std::uint64_t Resolve(IAutonym* autonym, CitI::IInterface** object);
  std::uint64_t ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object);
  std::uint64_t RegisterAutonym(IAutonym* autonym, CitI::IInterface* object);
  std::uint64_t FindAutonym(CitI::IInterface* object, IAutonym** autonym);
  std::uint64_t UnregisterAutonym(IAutonym* autonym);

  // Withdraws every entry.
  void Clear();

  // The registered names, in name order.
  std::size_t NameCount() const { return m_names.size(); }
  std::vector<Port::StringBase<char>> Names() const;

 private:
  struct AutonymEntry {
    AutoPtr<IAutonym> autonym;
    AutoPtr<CitI::IInterface> object;
  };

  // The index of the first entry whose autonym IsSame as `autonym`, or the entry count.
  std::size_t Match(IAutonym* autonym);

  std::map<std::string, AutoPtr<CitI::IInterface>> m_names;
  std::vector<AutonymEntry> m_autonyms;  // in registration order
};

// ISimpleNamedLookup of a component whose Table() is the table.
template <class Owner>
struct TNamedLookup final : Hvd::TNested<Owner, ISimpleNamedLookup> {
  using Hvd::TNested<Owner, ISimpleNamedLookup>::TNested;
  std::uint64_t Find(const Port::StringBase<char>& name, CitI::IInterface** object) override {
    return this->m_pThis->Table().Find(name, object);
  }
  std::uint64_t Add(const Port::StringBase<char>& name, CitI::IInterface* object) override {
    return this->m_pThis->Table().Add(name, object);
  }
  std::uint64_t Register(const Port::StringBase<char>& name, CitI::IInterface* object) override {
    return this->m_pThis->Table().Register(name, object);
  }
  std::uint64_t Unregister(const Port::StringBase<char>& name) override {
    return this->m_pThis->Table().Unregister(name);
  }
  std::uint64_t UnregisterObject(CitI::IInterface* object) override {
    return this->m_pThis->Table().UnregisterObject(object);
  }
};

// IAutonymLookup of a component whose Table() is the table.
template <class Owner>
struct TAutonymLookup final : Hvd::TNested<Owner, IAutonymLookup> {
  using Hvd::TNested<Owner, IAutonymLookup>::TNested;
  std::uint64_t Resolve(IAutonym* autonym, CitI::IInterface** object) override {
    return this->m_pThis->Table().Resolve(autonym, object);
  }
  std::uint64_t ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object) override {
    return this->m_pThis->Table().ResolveOrCreate(autonym, context, object);
  }
  std::uint64_t Register(IAutonym* autonym, CitI::IInterface* object) override {
    return this->m_pThis->Table().RegisterAutonym(autonym, object);
  }
  std::uint64_t FindAutonym(CitI::IInterface* object, IAutonym** autonym) override {
    return this->m_pThis->Table().FindAutonym(object, autonym);
  }
  std::uint64_t Unregister(IAutonym* autonym) override { return this->m_pThis->Table().UnregisterAutonym(autonym); }
};

}  // namespace Prjrep::names
