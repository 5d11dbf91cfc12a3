// Properties by name against the base services, and dependency levels.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP/Factory.h"
#include "Port/MsgMan.h"
#include "core/Interface.h"
#include "utils/DmUtils.h"
#include "utils/PropertyAccessor.h"

namespace {

using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

class PropertyAccessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_Base"));
    m_manager = AutoRelease<Hvd::IPropertyManager>(CitP::Factory::CreateInstance(Hvd::PropertyManagerClassId()));
    ASSERT_NE(m_manager.Get(), nullptr);
  }
  void TearDown() override {
    m_manager = nullptr;
    CitP::Factory::Shutdown();
  }
  AutoPtr<Hvd::IPropertyManager> m_manager;
};

TEST_F(PropertyAccessorTest, ValuesByNameOrLabelForEachKindAndLockedValuesHold) {
  Hvd::PropertyAccessor accessor(m_manager.Get());
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevFamily"), "Lumora II") << "the default";
  accessor.SetPropertyValue("PROP_DevFamily", "orvanta");
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevFamily"), "Orvanta") << "the list's own spelling";
  Port_MsgManData::ClearCaptured();
  accessor.SetPropertyValue("PROP_DevFamily", "Nonexistent");
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevFamily"), "Orvanta") << "a value outside the list changes nothing";
  EXPECT_FALSE(Port_MsgManData::Captured().empty());
  Hvd::IPropertyTemplate* byLabel = accessor.GetPropertyTemplate("Device Family").Get();  // builds the name map
  EXPECT_TRUE(byLabel != nullptr && byLabel == accessor.GetPropertyTemplate("PROP_DevFamily").Get());
  accessor.SetPropertyValue("PROP_DevDevice", "OV100", true);
  accessor.SetPropertyValue("PROP_DevDevice", "OV250");
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevDevice"), "OV100") << "locked";
  accessor.SetProperty("PROP_DevDevice", "OV250", false);
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevDevice"), "OV250");
  accessor.SetPropertyValue("PROP_OvraSpecifySearchDirectoryChkSyntax", "/a|/b");
  AutoRelease<Hvd::IPropertyInstance> files = accessor.GetPropertyInstance("PROP_OvraSpecifySearchDirectoryChkSyntax");
  EXPECT_TRUE(Hvd::FilePropertyHasValues(files) && !Hvd::IsSingleFileProperty(files));
  AutoRelease<Hvd::IPropertyInstance> single = accessor.GetPropertyInstance("PROP_MessageFilterFile");
  EXPECT_TRUE(Hvd::FilePropertyIsEmpty(single) && Hvd::IsSingleFileProperty(single));
  EXPECT_FALSE(Hvd::FilePropertyIsEmpty(m_manager.Get())) << "not a file property";
  accessor.SetPropertyValue("PROP_NoSuchThing", "x");
  EXPECT_EQ(accessor.GetPropertyValue("PROP_NoSuchThing"), "");
  EXPECT_EQ(Hvd::PropertyAccessor().GetPropertyValue("PROP_DevFamily"), "") << "an empty accessor";
}

TEST_F(PropertyAccessorTest, DeviceStoreTranslatesAnOldValueByItsKey) {
  EXPECT_EQ(Hvd::LookupDeviceStoreField("Lumora II", "lumora2"), "") << "already an entry";
  EXPECT_EQ(Hvd::LookupDeviceStoreField("Lumora 2", "lumora2"), "Lumora II");
  EXPECT_EQ(Hvd::LookupDeviceStoreField("Unknown", "nokey"), "");
}

// Sets what `out` points at; succeeds.
template <class T, class V>
Hvd::Status Put(T* out, const V& value) {
  *out = value;
  return Hvd::kSuccess;
}

// A counted iterator over dependencies.
struct Ids : Hvd::TComponent<Ids, Hvd::IDefDataIdIterator> {
  explicit Ids(std::vector<Hvd::IDefDataId*> ids) : ids(std::move(ids)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<Hvd::IDefDataIdIterator>(this),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::IDefDataId* Current() override { return IsDone() ? nullptr : ids[at]; }
  Hvd::Status Reset() override { return Put(&at, std::size_t{0}); }
  Hvd::Status Next() override { return IsDone() ? Hvd::kFailure : Put(&at, at + 1); }
  bool IsDone() override { return at >= ids.size(); }
  std::vector<Hvd::IDefDataId*> ids;
  std::size_t at = 0;
  Prjrep::TRefCountHelper<Ids> count{this};
};

// An uncounted definition that is its own id.
struct Def : Hvd::IPropertyTemplate, Hvd::IDefDataId {
  Def(std::string name, std::vector<Hvd::IDefDataId*> deps = {}) : name(std::move(name)), deps(std::move(deps)) {}
  // Two interfaces as bases, so the query is written here rather than by TComponent.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::Table(Hvd::Row<Hvd::IDefDataId>(this), Hvd::Row<Hvd::IPropertyTemplate>(this)).Answer(iid);
  }
  Hvd::Status GetDefDataIdName(String* out) override { return Put(out, name); }
  Hvd::Status GetDefaultValue(String*) override { return Hvd::kFailure; }
  Hvd::Status GetDependencies(Hvd::IDefDataIdIterator** out) override { return Put(out, new Ids(deps)); }
  std::string name;
  std::vector<Hvd::IDefDataId*> deps;
};

struct Store : Hvd::TComponent<Store, Hvd::IPropertyTemplateStore> {
  auto QueryTable() { return Hvd::Table(Hvd::Row<Hvd::IPropertyTemplateStore>(this)); }
  Hvd::Status GetTemplate(Hvd::IDefDataId* id, Hvd::IPropertyTemplate** out) override {
    return Put(out, static_cast<Def*>(id));
  }
  Hvd::Status GetTemplates(Prjrep::IIterator**) override { return Hvd::kFailure; }
};

TEST(PropertyLevelOrderTest, TheLongerRoadDecidesAndACycleEnds) {
  Def root("root"), mid1("mid1", {&root}), mid2("mid2", {&mid1}), leaf("leaf", {&mid1, &mid2});
  Def a("a"), b("b", {&a}), c("c", {&a});
  a.deps = {&b};
  Store store;
  Hvd::PropertyLevelOrder order(&store, 1);
  Port_MsgManData::ClearCaptured();
  EXPECT_GE(order.LevelOf(&c), 1) << "ends despite the cycle";
  EXPECT_FALSE(Port_MsgManData::Captured().empty());
  EXPECT_TRUE(order.LevelOf(&root) == 0 && order.LevelOf(&leaf) == 3 && order.Level(7).empty());
}

}  // namespace
