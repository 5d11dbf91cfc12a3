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
  EXPECT_NE(accessor.GetPropertyTemplate("Device Family").Get(), nullptr) << "a label builds the name map";
  EXPECT_EQ(accessor.GetPropertyTemplate("Device Family").Get(), accessor.GetPropertyTemplate("PROP_DevFamily").Get());

  accessor.SetPropertyValue("PROP_DevDevice", "OV100", true);
  accessor.SetPropertyValue("PROP_DevDevice", "LM2-20");
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevDevice"), "OV100") << "locked";
  accessor.SetProperty("PROP_DevDevice", "LM2-20", false);
  EXPECT_EQ(accessor.GetPropertyValue("PROP_DevDevice"), "LM2-20");

  accessor.SetPropertyValue("PROP_OvraSpecifySearchDirectoryChkSyntax", "/a|/b");
  AutoRelease<Hvd::IPropertyInstance> files = accessor.GetPropertyInstance("PROP_OvraSpecifySearchDirectoryChkSyntax");
  EXPECT_TRUE(Hvd::FilePropertyHasValues(files));
  EXPECT_FALSE(Hvd::IsSingleFileProperty(files));
  AutoRelease<Hvd::IPropertyInstance> single = accessor.GetPropertyInstance("PROP_MessageFilterFile");
  EXPECT_TRUE(Hvd::FilePropertyIsEmpty(single));
  EXPECT_TRUE(Hvd::IsSingleFileProperty(single));
  EXPECT_FALSE(Hvd::FilePropertyIsEmpty(m_manager.Get())) << "not a file property";

  EXPECT_EQ(accessor.GetPropertyValue("PROP_NoSuchThing"), "");
  accessor.SetPropertyValue("PROP_NoSuchThing", "x");
  EXPECT_EQ(Hvd::PropertyAccessor().GetPropertyValue("PROP_DevFamily"), "") << "an empty accessor";
}

TEST_F(PropertyAccessorTest, InstancesComeAfterWhatTheyDependOn) {
  Hvd::PropertyAccessor accessor(m_manager.Get());
  for (const char* name : {"PROP_DevSpeed", "PROP_DevPackage", "PROP_DevDevice", "PROP_DevFamily"}) {
    AutoRelease<Hvd::IPropertyInstance> made = accessor.GetPropertyInstance(name);
  }
  std::vector<AutoPtr<Hvd::IPropertyInstance>> ordered;
  accessor.GetAllPropertyInstances(ordered);
  std::vector<std::string> names;
  for (const auto& instance : ordered) names.push_back(Hvd::GetDefDataIdName(instance.Get()).str());
  EXPECT_EQ(names, (std::vector<std::string>{"PROP_DevFamily", "PROP_DevDevice", "PROP_DevPackage", "PROP_DevSpeed"}));
}

TEST_F(PropertyAccessorTest, DeviceStoreTranslatesAnOldValueByItsKey) {
  EXPECT_EQ(Hvd::LookupDeviceStoreField("Lumora II", "lumora2"), "") << "already an entry";
  EXPECT_EQ(Hvd::LookupDeviceStoreField("Lumora 2", "lumora2"), "Lumora II");
  EXPECT_EQ(Hvd::LookupDeviceStoreField("Unknown", "nokey"), "");
}

// A counted iterator over dependencies.
struct Ids : Hvd::TComponent<Ids, Hvd::IDefDataIdIterator> {
  explicit Ids(std::vector<Hvd::IDefDataId*> ids) : ids(std::move(ids)) {}
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<Prjrep::IRefCount>(&count), Hvd::Row<Hvd::IDefDataIdIterator>(this),
                      Hvd::Row<CitI::IInterface>(this));
  }
  Hvd::IDefDataId* Current() override { return IsDone() ? nullptr : ids[at]; }
  Hvd::Status Reset() override {
    at = 0;
    return Hvd::kSuccess;
  }
  Hvd::Status Next() override {
    if (IsDone()) return Hvd::kFailure;
    ++at;
    return Hvd::kSuccess;
  }
  bool IsDone() override { return at >= ids.size(); }
  std::vector<Hvd::IDefDataId*> ids;
  std::size_t at = 0;
  Prjrep::TRefCountHelper<Ids> count{this};
};

// An uncounted definition that is its own id.
struct Def : Hvd::IPropertyTemplate, Hvd::IDefDataId {
  explicit Def(std::string name) : name(std::move(name)) {}
  // Two interfaces as bases, so the query is written here rather than by TComponent.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::Table(Hvd::Row<Hvd::IDefDataId>(this), Hvd::Row<Hvd::IPropertyTemplate>(this)).Answer(iid);
  }
  Hvd::Status GetDefDataIdName(String* out) override {
    *out = name;
    return Hvd::kSuccess;
  }
  Hvd::Status GetDefaultValue(String*) override { return Hvd::kFailure; }
  Hvd::Status GetDependencies(Hvd::IDefDataIdIterator** out) override {
    *out = new Ids(deps);
    return Hvd::kSuccess;
  }
  std::string name;
  std::vector<Hvd::IDefDataId*> deps;
};

struct Store : Hvd::TComponent<Store, Hvd::IPropertyTemplateStore> {
  auto QueryTable() { return Hvd::Table(Hvd::Row<Hvd::IPropertyTemplateStore>(this)); }
  Hvd::Status GetTemplate(Hvd::IDefDataId* id, Hvd::IPropertyTemplate** out) override {
    *out = static_cast<Def*>(id);
    return Hvd::kSuccess;
  }
  Hvd::Status GetTemplates(Prjrep::IIterator**) override { return Hvd::kFailure; }
};

TEST(PropertyLevelOrderTest, TheLongerRoadDecidesAndACycleEnds) {
  Def a("a"), b("b"), c("c"), root("root"), mid1("mid1"), mid2("mid2"), leaf("leaf");
  a.deps = {&b};
  b.deps = {&a};
  c.deps = {&a};
  mid1.deps = {&root};
  mid2.deps = {&mid1};
  leaf.deps = {&mid1, &mid2};
  Store store;
  Hvd::PropertyLevelOrder order(&store, 1);
  Port_MsgManData::ClearCaptured();
  EXPECT_GE(order.LevelOf(&c), 1) << "ends despite the cycle";
  EXPECT_FALSE(Port_MsgManData::Captured().empty());
  EXPECT_EQ(order.LevelOf(&root), 0);
  EXPECT_EQ(order.LevelOf(&leaf), 3);
  EXPECT_TRUE(order.Level(7).empty());
}

}  // namespace
