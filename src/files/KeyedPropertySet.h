#pragma once
// Property instances kept under their names: a part of its owner, as a view keeps its view
// properties. It has no count of its own; what it does not answer, the outer object does.

#include <map>
#include <utility>

#include "Hvd/IDefData.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/AssociativeSets.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Hvd {

class CKeyedPropertySet {
  using String = Port::StringBase<char>;
  using Map = std::map<String, IPropertyInstance*>;

 public:
  using Position = Map::iterator;

  // `outer` (may be null) answers every other query and counts the iterators' holds.
  explicit CKeyedPropertySet(CitI::IInterface* outer = nullptr);
  CKeyedPropertySet(const CKeyedPropertySet&) = delete;
  CKeyedPropertySet& operator=(const CKeyedPropertySet&) = delete;
  virtual ~CKeyedPropertySet() = default;

  // IPropertyInstanceSet and IKeyedPropertySet are the set's own; any other id is the outer
  // object's. Without one, the root is the property set; nothing else answers.
  CitI::IInterface* QueryInterface(const Port::XUID& iid);

  // Stores `instance` under `name`, replacing what was there; 0 for a null instance.
  Status SetProperty(String name, IPropertyInstance* instance) { return m_set.SetByKey(std::move(name), instance); }
  // The instance of `name`, or empty.
  Prjrep::AutoRelease<IPropertyInstance> GetProperty(const String& name);
  // Removes the entry at `pos` and moves `pos` to the next one, so that a walk continues
  // from it without a step of its own.
  void RemoveAt(Position& pos) { m_set.Erase(pos); }
  // Refused, like the set's own Add and Remove: entries change only through SetProperty and
  // RemoveAt.
  Status Clear() { return m_set.Clear(); }
  std::size_t GetCount() { return m_set.Size(); }
  Position begin() { return m_set.Entries().begin(); }
  Position end() { return m_set.Entries().end(); }
  Position find(const String& name) { return m_set.Entries().find(name); }

 private:
  class CAssociativePropSet
      : public Prjrep::TAssociativeSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator> {
   public:
    Status Remove(IPropertyInstanceIterator*) override { return kNotSupported; }
    Status Clear() override { return kNotSupported; }
    Map& Entries() { return m_elements; }
  } m_set;

  struct XIKeyedPropertySet : TNested<CKeyedPropertySet, IKeyedPropertySet> {
    using TNested::TNested;
    IPropertyInstance* Lookup(const String& name) override { return This().GetProperty(name).Detach(); }
  } m_XIKeyedPropertySet{this};

  CitI::IInterface* m_outer;
};

}  // namespace Hvd
