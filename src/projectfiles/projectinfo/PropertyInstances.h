#pragma once
// The read-only property instances in which the project information hands out the properties
// of a file, and the set that carries them.

#include <vector>

#include "Hvd/IDefData.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Sets.h"

namespace Hvd {

// A name and value read from a file. Only the name and the value can be asked; everything
// else, the value setter among them, is not supported: the file is changed through
// IProjectInfo::SetProperty.
class PropertyInstance final : public TComponent<PropertyInstance, IPropertyInstance> {
 public:
  PropertyInstance(Port::StringBase<char> name, Port::StringBase<char> value)
      : m_name(std::move(name)), m_value(std::move(value)) {}
  PropertyInstance(const PropertyInstance&) = delete;
  PropertyInstance& operator=(const PropertyInstance&) = delete;

  // The root is answered as well: the kit counts and releases through it.
  auto QueryTable() {
    return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<IPropertyInstance>(this), Row<CitI::IInterface>(this));
  }

  Status GetName(Port::StringBase<char>* name) override;
  Status GetValue(Port::StringBase<char>* value) override;
  Status SetValue(const Port::StringBase<char>& value) override;
  Status GetTemplate(IPropertyTemplate** definition) override;
  Status IsDefault(bool* isDefault) override;

 private:
  Port::StringBase<char> m_name;
  Port::StringBase<char> m_value;
  Prjrep::TRefCountHelper<PropertyInstance> m_refCount{this};
};

// A new instance with one reference for the caller.
Prjrep::AutoRelease<IPropertyInstance> MakePropertyInstance(const Port::StringBase<char>& name,
                                                            const Port::StringBase<char>& value);

// The set of GetAllProperties: insertion order, one reference on each element, released
// with the set.
class CPropInstanceSet final
    : public TRefdSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                    std::vector<IPropertyInstance*>> {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Table(Row<IPropertyInstanceSet>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this))
        .Answer(iid);
  }
};

}  // namespace Hvd
