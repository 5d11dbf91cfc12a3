// Where a child's composed files stand in the parent's design: the path that the child's
// project file records, or, in a configuration's project, the instance path of the element
// that chooses the child.

#include <set>

#include "ChildSupport.h"
#include "Hvd/IConfiguration.h"
#include "childproject/FileComposer.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "utils/DmUtils.h"

namespace {

using namespace child_testing;
using Hvd::FileComposer;
using Strings = std::set<std::string>;

// An element of a configuration: the project it chooses and the module it chooses it for
// (none for the static element), the module answering its own instance path.
class FakeElement final : public Hvd::TComponent<FakeElement> {
 public:
  FakeElement(CitI::IInterface* flavor, std::string instancePath)
      : m_flavor(flavor), m_instancePath(std::move(instancePath)) {}
  auto QueryTable() {
    return Table(Row<Hvd::IConfigurationElement>(&m_element), Row<Hvd::IPRModule>(&m_module),
                 Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }

 private:
  struct XIConfigurationElement : Hvd::TNested<FakeElement, Hvd::IConfigurationElement> {
    using TNested::TNested;
    Hvd::Status GetIsStatic(bool* isStatic) override {
      *isStatic = This().m_instancePath.empty();
      return kSuccess;
    }
    Hvd::Status GetPRModule(Hvd::IPRModule** module) override {
      Prjrep::AutoOut<Hvd::IPRModule> out(module);
      return This().m_instancePath.empty() ? kFailure : out.Assign(&This().m_module);
    }
    Hvd::Status GetFlavor(CitI::IInterface** flavor) override {
      Prjrep::AutoOut<CitI::IInterface> out(flavor);
      return out.Assign(This().m_flavor.Get());
    }
  } m_element{this};
  struct XIPRModule : Hvd::TNested<FakeElement, Hvd::IPRModule> {
    using TNested::TNested;
    Hvd::Status GetInstancePath(Text& path) override {
      path = This().m_instancePath;
      return kSuccess;
    }
    Hvd::Status GetAuxiliaryString(Text&) override { return kNotSupported; }
    Hvd::Status GetFlavorSet(Hvd::IFlavorSet**) override { return kNotSupported; }
    Hvd::Status GetActiveFlavor(Hvd::IFlavor**) override { return kNotSupported; }
    Hvd::Status SetActiveFlavor(Hvd::IFlavor*) override { return kNotSupported; }
    Hvd::Status FindFlavorWithGivenName(const Text&, Hvd::IFlavor**) override { return kNotSupported; }
  } m_module{this};
  Prjrep::TRefCountHelper<FakeElement> m_refCount{this};
  AutoPtr<CitI::IInterface> m_flavor;
  std::string m_instancePath;
};

class FakeConfiguration final : public Hvd::TComponent<FakeConfiguration, Hvd::IConfiguration> {
  using Elements = Hvd::TRefdSequenceSetHelper<Hvd::IConfigurationElement*, Hvd::IConfigurationElementSet,
                                               Hvd::IConfigurationElementIterator,
                                               std::vector<Hvd::IConfigurationElement*>>;

 public:
  auto QueryTable() {
    return Table(Row<Hvd::IConfiguration>(this), Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this));
  }
  void AddElement(CitI::IInterface* flavor, const std::string& instancePath) {
    AutoRelease<CitI::IInterface> element(static_cast<CitI::IInterface*>(new FakeElement(flavor, instancePath)));
    std::ignore = m_elements->Add(AutoCast<Hvd::IConfigurationElement>(element.Get()));
  }
  Hvd::Status GetElements(Hvd::IConfigurationElementIterator** elements) override {
    return m_elements->GetIterator(elements);
  }
  Hvd::Status GetProject(Hvd::IProject**) override { return kNotSupported; }

 private:
  Prjrep::TRefCountHelper<FakeConfiguration> m_refCount{this};
  AutoRelease<Hvd::IConfigurationElementSet> m_elements{new Elements()};
};

class LocatorsTest : public ChildProjectTest {
 protected:
  void SetUp() override {
    ChildProjectTest::SetUp();
    m_parent = Open("proj/p.xhlc");
    m_child = Open("proj/core/core.xhlc");
    m_a = Add(m_child, "proj/core/a.vhd");
    std::ignore = Add(m_parent, "proj/core/a.vhd");
  }
  // The child's project file, as the suite would have written it, with the instance path of
  // its implementation top.
  void RecordTopInstancePath(const std::string& path) {
    WriteText(m_root / "proj/core/core.xhlc",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n"
              "  <properties>\n"
              "    <property vel_kv:name=\"Implementation Top Instance Path\" vel_kv:value=\"" + path + "\"/>\n"
              "  </properties>\n"
              "</project>\n");
  }
  Strings LocatorsOf(const std::string& relative) {
    Strings locators;
    AutoRelease<Hvd::IHdlFile> file = Find(m_parent, PathOf(relative));
    AutoCast<Hvd::IDesignGraphLocatorSet> set(file.Get());
    AutoRelease<Prjrep::IStringIterator> at;
    if (set && set->GetIterator(at.Receive()) == kSuccess && at)
      for (; !at->IsDone(); std::ignore = at->Next()) locators.insert(at->Current().str());
    return locators;
  }

  Hvd::IProject* m_parent = nullptr;
  Hvd::IProject* m_child = nullptr;
  AutoRelease<Hvd::IHdlFile> m_a;
};

TEST_F(LocatorsTest, ComposedFilesStandAtThePathTheChildsProjectFileRecords) {
  RecordTopInstancePath("/top/u_core");
  FileComposer composer(m_parent, m_child);
  composer.SetComposedFilesLocators();  // no files to compose: nothing placed
  EXPECT_TRUE(LocatorsOf("proj/core/a.vhd").empty());

  composer.AddFileToCompose(AutoCast<Hvd::IFile>(m_a.Get()));
  composer.SetComposedFilesLocators();
  EXPECT_EQ(LocatorsOf("proj/core/a.vhd"), (Strings{"/top/u_core"}));

  // A file that records no path places nothing.
  RecordTopInstancePath("");
  ASSERT_EQ(AutoCast<Hvd::IDesignGraphLocatorSet>(Find(m_parent, PathOf("proj/core/a.vhd")).Get())->Clear(), kSuccess);
  composer.SetComposedFilesLocators();
  EXPECT_TRUE(LocatorsOf("proj/core/a.vhd").empty());
}

TEST_F(LocatorsTest, InAConfigurationsProjectTheChoosingElementGivesThePath) {
  // What the child's file records is not asked for in a configuration's project.
  RecordTopInstancePath("/top/elsewhere");
  Hvd::IProject* other = Open("proj/other/other.xhlc");
  AutoRelease<FakeConfiguration> configuration(new FakeConfiguration());
  configuration->AddElement(m_parent, "");  // the static element
  configuration->AddElement(other, "/top/u_other");
  configuration->AddElement(m_child, "/top/u_core");
  ASSERT_EQ(Hvd::RegisterNamedObject(m_parent, "Configuration", configuration.Get(), true), kSuccess);

  FileComposer composer(m_parent, m_child);
  composer.AddFileToCompose(AutoCast<Hvd::IFile>(m_a.Get()));
  composer.SetComposedFilesLocators();
  EXPECT_EQ(LocatorsOf("proj/core/a.vhd"), (Strings{"/top/u_core"}));

  ASSERT_EQ(AutoCast<Prjrep::ISimpleNamedLookup>(m_parent)->UnregisterObject(configuration.Get()), kSuccess);
}

}  // namespace
