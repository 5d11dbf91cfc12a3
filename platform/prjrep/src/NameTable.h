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

  Hvd::Status Find(const Port::StringBase<char>& name, CitI::IInterface** object);
  Hvd::Status Add(const Port::StringBase<char>& name, CitI::IInterface* object);
  Hvd::Status Register(const Port::StringBase<char>& name, CitI::IInterface* object);
  Hvd::Status Unregister(const Port::StringBase<char>& name);
  Hvd::Status UnregisterObject(CitI::IInterface* object);

  Hvd::Status Resolve(IAutonym* autonym, CitI::IInterface** object);
  Hvd::Status ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object);
  Hvd::Status RegisterAutonym(IAutonym* autonym, CitI::IInterface* object);
  Hvd::Status FindAutonym(CitI::IInterface* object, IAutonym** autonym);
  Hvd::Status UnregisterAutonym(IAutonym* autonym);

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
  Hvd::Status Find(const Port::StringBase<char>& name, CitI::IInterface** object) override {
    return this->m_pThis->Table().Find(name, object);
  }
  Hvd::Status Add(const Port::StringBase<char>& name, CitI::IInterface* object) override {
    return this->m_pThis->Table().Add(name, object);
  }
  Hvd::Status Register(const Port::StringBase<char>& name, CitI::IInterface* object) override {
    return this->m_pThis->Table().Register(name, object);
  }
  Hvd::Status Unregister(const Port::StringBase<char>& name) override {
    return this->m_pThis->Table().Unregister(name);
  }
  Hvd::Status UnregisterObject(CitI::IInterface* object) override {
    return this->m_pThis->Table().UnregisterObject(object);
  }
};

// IAutonymLookup of a component whose Table() is the table.
template <class Owner>
struct TAutonymLookup final : Hvd::TNested<Owner, IAutonymLookup> {
  using Hvd::TNested<Owner, IAutonymLookup>::TNested;
  Hvd::Status Resolve(IAutonym* autonym, CitI::IInterface** object) override {
    return this->m_pThis->Table().Resolve(autonym, object);
  }
  Hvd::Status ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object) override {
    return this->m_pThis->Table().ResolveOrCreate(autonym, context, object);
  }
  Hvd::Status Register(IAutonym* autonym, CitI::IInterface* object) override {
    return this->m_pThis->Table().RegisterAutonym(autonym, object);
  }
  Hvd::Status FindAutonym(CitI::IInterface* object, IAutonym** autonym) override {
    return this->m_pThis->Table().FindAutonym(object, autonym);
  }
  Hvd::Status Unregister(IAutonym* autonym) override { return this->m_pThis->Table().UnregisterAutonym(autonym); }
};

}  // namespace Prjrep::names
