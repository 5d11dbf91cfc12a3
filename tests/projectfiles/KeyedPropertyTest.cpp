// Setting a named property of an object through its keyed property set.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Hvd/IDefData.h"
#include "Hvd/IKeyedPropertySet.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "projectfiles/KeyedProperty.h"

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

// An object with two named properties; it counts what its lookups hand out.
class CObject : public Hvd::TComponent<CObject, Hvd::IKeyedPropertySet> {
 public:
  auto QueryTable() { return Hvd::Table(Hvd::Row<Hvd::IKeyedPropertySet>(this), Hvd::Row<CitI::IInterface>(this)); }
  Hvd::IPropertyInstance* Lookup(const Text& key) override {
    const auto found = m_values.find(key.str());
    if (found == m_values.end()) return nullptr;
    std::ignore = found->second->m_refCount.AddRef();
    return found->second;
  }
  std::map<std::string, CValue*> m_values{{"TOPDESIGNUNIT", new CValue}, {"AUTOTOP", new CValue}};
  ~CObject() override {
    for (auto& [name, value] : m_values) {
      EXPECT_EQ(value->m_refCount.GetRefCount(), 1) << name;  // every handed-out reference came back
      std::ignore = value->m_refCount.Release();
    }
  }
};

TEST(KeyedPropertyTest, SetsOnlyANamedPropertyOfAnObjectThatHasThem) {
  CObject object;
  Hvd::SetKeyedPropertyValue(&object, "TOPDESIGNUNIT", "top");
  Hvd::SetKeyedPropertyValue(&object, "NOSUCHKEY", "x");
  Hvd::SetKeyedPropertyValue(object.m_values["AUTOTOP"], "AUTOTOP", "false");  // no keyed set: nothing
  Hvd::SetKeyedPropertyValue(nullptr, "AUTOTOP", "false");
  EXPECT_EQ(object.m_values["TOPDESIGNUNIT"]->m_value, "top");
  EXPECT_EQ(object.m_values["AUTOTOP"]->m_value, "");
}

}  // namespace
