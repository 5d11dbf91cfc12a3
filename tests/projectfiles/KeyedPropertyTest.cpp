// Setting a named property of an object through its keyed property set.

#include <gtest/gtest.h>

#include <string>

#include "Hvd/IDefData.h"
#include "Hvd/IKeyedPropertySet.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "utils/KeyedProperty.h"

namespace {

using Text = Port::StringBase<char>;

class CValue : public Hvd::TComponent<CValue, Hvd::IPropertyInstance> {
 public:
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Hvd::IPropertyInstance>(this), Hvd::Row<Prjrep::IRefCount>(&m_refCount),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::Status GetName(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetValue(Text* value) override { return *value = m_value, Hvd::kSuccess; }
  Hvd::Status SetValue(const Text& value) override { return m_value = value, Hvd::kSuccess; }
  Hvd::Status GetTemplate(Hvd::IPropertyTemplate**) override { return Hvd::kNotSupported; }
  Hvd::Status IsDefault(bool*) override { return Hvd::kNotSupported; }
  Text m_value;
  Prjrep::TRefCountHelper<CValue> m_refCount{this};
};

// An object that hands out its one property under its key; a reference not given back leaks.
class CObject : public Hvd::TComponent<CObject, Hvd::IKeyedPropertySet> {
 public:
  auto QueryTable() { return Hvd::Table(Hvd::Row<Hvd::IKeyedPropertySet>(this), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::IPropertyInstance* Lookup(const Text& key) override {
    if (key.str() != "TOPDESIGNUNIT") return nullptr;
    std::ignore = value->m_refCount.AddRef();
    return value;
  }
  ~CObject() override { std::ignore = value->m_refCount.Release(); }
  CValue* value = new CValue;
};

TEST(KeyedPropertyTest, SetsOnlyANamedPropertyOfAnObjectThatHasThem) {
  CObject object;
  Hvd::SetKeyedPropertyValue(&object, "TOPDESIGNUNIT", "top");
  Hvd::SetKeyedPropertyValue(&object, "NOSUCHKEY", "x");
  Hvd::SetKeyedPropertyValue(object.value, "TOPDESIGNUNIT", "false");  // no keyed set: nothing
  Hvd::SetKeyedPropertyValue(nullptr, "TOPDESIGNUNIT", "false");
  EXPECT_EQ(object.value->m_value, "top");
}

}  // namespace
