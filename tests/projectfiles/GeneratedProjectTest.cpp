// The generated-project file: written on save through the project, read back on open, and the
// walk of the view network that fills its transforms.

#include <set>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>

#include "Hvd/ITransformBindingSets.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FaultInjection.h"
#include "Prjrep/IName.h"
#include "XhlcProject.h"
#include "childproject/Originators.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "design/design/Placement.h"
#include "projectfiles/CGenProjectReader.h"
#include "projectfiles/GeneratedProjectWriter.h"
#include "projectfiles/GhlcNames.h"
#include "projectfiles/ViewNetworkWalker.h"
#include "utils/DmUtils.h"
#include "projectfiles/XhlcText.h"
#include "utils/XmlPlatform.h"

namespace xhlc_test {
namespace {

namespace X = xercesc;
using Hvd::kSuccess;

using CObjectSet =
    Hvd::TRefdSequenceSetHelper<CitI::IInterface*, Prjrep::ISet, Prjrep::IIterator, std::vector<CitI::IInterface*>>;
class IInstanceSet : public Prjrep::TISet<Hvd::ITransformInstance*, Hvd::ITransformInstanceIterator> {
 public:
  CITI_DECLARE_IID("{6b0f3a52-41d3-4c7e-9a35-0d2c8f7e1a64}")
};
using CInstanceSet = Hvd::TRefdSequenceSetHelper<Hvd::ITransformInstance*, IInstanceSet,
                                                 Hvd::ITransformInstanceIterator, std::vector<Hvd::ITransformInstance*>>;

// A run with status values of its own choosing, also ones the engine would refuse.
class FakeInstance final : public Hvd::TComponent<FakeInstance, Hvd::ITransformInstance> {
 public:
  explicit FakeInstance(std::vector<std::uint32_t> values) : m_values(std::move(values)) {}
  auto QueryTable() {
    return Table(Row<Hvd::ITransformInstance>(this), Row<Hvd::IStatus>(&m_status), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Hvd::Status GetTransform(Hvd::ITransform** transform) override {
    *transform = nullptr;
    return Hvd::kFailure;
  }
  Hvd::Status GetInputFiles(Prjrep::ISet** files) override { return Hvd::kFailure; }
  Hvd::Status GetOutputFiles(Prjrep::ISet** files) override { return Hvd::kFailure; }

 private:
  class Values final : public Hvd::TComponent<Values, Hvd::IStatusValueIterator> {
   public:
    explicit Values(std::vector<std::uint32_t> values) : m_values(std::move(values)) {}
    auto QueryTable() {
      return Table(Row<Hvd::IStatusValueIterator>(this), Row<Prjrep::IRefCount>(&m_refCount),
                   Row<CitI::IInterface>(this));
    }
    std::uint32_t Current() override { return m_values[m_at]; }
    Hvd::Status Reset() override { return m_at = 0, kSuccess; }
    Hvd::Status Next() override { return ++m_at, kSuccess; }
    bool IsDone() override { return m_at >= m_values.size(); }

   private:
    Prjrep::TRefCountHelper<Values> m_refCount{this};
    std::vector<std::uint32_t> m_values;
    std::size_t m_at = 0;
  };
  struct XIStatus : Hvd::TNested<FakeInstance, Hvd::IStatus> {
    using TNested::TNested;
    Hvd::Status GetStatusValues(Hvd::IStatusValueIterator** values) override {
      *values = new Values(This().m_values);
      return kSuccess;
    }
    Hvd::Status HasStatusValue(std::uint32_t value, bool* has) override {
      *has = std::find(This().m_values.begin(), This().m_values.end(), value) != This().m_values.end();
      return kSuccess;
    }
    Hvd::Status AddStatusValue(std::uint32_t) override { return Hvd::kFailure; }
    Hvd::Status GetStatusFlag(bool*) override { return Hvd::kFailure; }
    Hvd::Status SetStatusValue(std::uint32_t) override { return Hvd::kFailure; }
  } m_status{this};
  Prjrep::TRefCountHelper<FakeInstance> m_refCount{this};
  std::vector<std::uint32_t> m_values;
};

// A binding that leads back to a view upstream, which the engine itself never makes. It holds
// the view borrowed, so that it keeps nothing alive round the cycle.
class BackBinding final : public Hvd::TComponent<BackBinding, Hvd::ITransformBindingInstance> {
 public:
  BackBinding(Hvd::IView* target, Hvd::ITransformInstance* instance) : m_target(target), m_instance(instance) {}
  auto QueryTable() {
    return Table(Row<Hvd::ITransformBindingInstance>(this), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }
  Hvd::Status GetDefinition(CitI::IInterface** definition) override { return Hvd::kFailure; }
  Hvd::Status GetTransformInstances(Hvd::ITransformInstanceIterator** instances) override {
    AutoRelease<IInstanceSet> set(new CInstanceSet());
    std::ignore = set->Add(m_instance.Get());
    return set->GetIterator(instances);
  }
  Hvd::Status GetTargets(Prjrep::IIterator** targets) override {
    AutoRelease<Prjrep::ISet> set(new CObjectSet());
    std::ignore = set->Add(Hvd::RootOf(m_target));
    return set->GetIterator(targets);
  }
  Hvd::Status ReservedOperation5() override { return Hvd::kNotSupported; }
  Hvd::Status GetSecondSideObjects(Prjrep::ISet**) override { return Hvd::kFailure; }
  Hvd::Status GetFirstSideObjects(Prjrep::ISet**) override { return Hvd::kFailure; }

 private:
  Prjrep::TRefCountHelper<BackBinding> m_refCount{this};
  Hvd::IView* m_target;
  AutoPtr<Hvd::ITransformInstance> m_instance;
};

// Every element of that local name in the parsed file, by its attributes.
struct Element {
  std::map<std::string, std::string> attributes;
  std::vector<Element> children;
};

class GeneratedProjectTest : public XhlcProject {
 protected:
  void SetUp() override {
    XhlcProject::SetUp();
    m_ghlc = m_dir / "p.ghlc";
  }
  Hvd::Status Open() {
    m_project = AutoRelease<Hvd::IProject>(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
    if (!m_project) return Hvd::kFailure;
    std::ignore = AutoCast<Hvd::IForceSave>(m_project.Get())->SetSaveDelay(0);
    return m_project->Open(m_file.c_str());
  }
  Hvd::Status ForceSave() { return AutoCast<Hvd::IForceSave>(m_project.Get())->ForceSave(); }
  Hvd::IDesign* Design() {
    Hvd::IDesign* design = nullptr;
    EXPECT_EQ(m_project->GetDesign(&design), kSuccess);
    return design;
  }
  AutoRelease<Hvd::ITransformInstance> Instance(const char* name) {
    AutoRelease<Hvd::ITransformEngine> engine;
    AutoRelease<Hvd::ITransformInstance> instance;
    if (Design()->GetTOE(engine.Receive()) == kSuccess)
      std::ignore = AutoCast<Hvd::ITransformAccess>(engine.Get())->FindTransformInstance(name, instance.Receive());
    return instance;
  }
  void AddFile(const fs::path& path, std::uint32_t origin, std::vector<std::uint32_t> marks) {
    AutoRelease<Hvd::IHdlFile> file;
    EXPECT_EQ(Internal()->ProjectAddFile(path.c_str(), nullptr, file.Receive()), kSuccess) << path;
    EXPECT_EQ(AutoCast<Hvd::IFile>(file.Get())->SetOriginState(origin), kSuccess);
    for (std::uint32_t mark : marks) EXPECT_EQ(AutoCast<Hvd::IViewClassAssociation>(file.Get())->SetBit(mark), kSuccess);
  }
  std::uint32_t Origin(const fs::path& path) {
    std::uint32_t state = 99;
    if (Hvd::IHdlFile* file = File(path); file != nullptr) std::ignore = AutoCast<Hvd::IFile>(file)->GetOriginState(&state);
    return state;
  }
  std::vector<std::uint32_t> Marks(const fs::path& path) {
    std::vector<std::uint32_t> marks;
    AutoCast<Hvd::IViewClassAssociation> classes(File(path));
    for (std::uint32_t mark = 0; classes && mark < 10; ++mark) {
      if (classes->TestBit(mark)) marks.push_back(mark);
    }
    return marks;
  }
  // Times, checksums, status values and output names of an instance, as one line.
  std::string Run(const char* name) {
    AutoRelease<Hvd::ITransformInstance> instance = Instance(name);
    AutoCast<Hvd::ITransformInstance2> runs(instance.Get());
    if (!runs) return "none";
    AutoRelease<Prjrep::ITimestamp> start, end;
    std::int64_t s = 0, e = 0, us = 0, in = 0, prop = 0;
    EXPECT_TRUE(runs->GetStartTime(start.Receive()) == kSuccess && runs->GetEndTime(end.Receive()) == kSuccess);
    std::ignore = start->GetTime(&s, &us);
    std::ignore = end->GetTime(&e, &us);
    std::ignore = runs->GetInputChecksum(&in);
    std::ignore = runs->GetPropertyChecksum(&prop);
    std::string line = std::to_string(s) + " " + std::to_string(e) + " " + std::to_string(prop) + " " +
                       std::to_string(in) + " |";
    AutoRelease<Hvd::IStatusValueIterator> values;
    EXPECT_EQ(AutoCast<Hvd::IStatus>(instance.Get())->GetStatusValues(values.Receive()), kSuccess);
    for (; !values->IsDone(); std::ignore = values->Next()) line += " " + std::to_string(values->Current());
    line += " |";
    AutoRelease<Prjrep::ISet> outputs;
    AutoRelease<Prjrep::IIterator> at;
    EXPECT_TRUE(instance->GetOutputFiles(outputs.Receive()) == kSuccess && outputs->GetIterator(at.Receive()) == kSuccess);
    for (; !at->IsDone(); std::ignore = at->Next()) {
      Text path;
      std::ignore = AutoCast<Prjrep::IFileNameHelper>(at->Current())->GetFullName(&path);
      line += " " + fs::path(path.str()).filename().string();
    }
    return line;
  }
  // The elements of that local name in the file, with their attributes' local names.
  std::vector<Element> Elements(const fs::path& file, const char* name) {
    std::vector<Element> found;
    Hvd::Xml::DocumentPtr document = Hvd::Xml::ParseXmlFile(file.c_str());
    if (!document) return found;
    const auto read = [](X::DOMElement* element) {
      Element entry;
      X::DOMNamedNodeMap* attributes = element->getAttributes();
      for (XMLSize_t i = 0; i < attributes->getLength(); ++i) {
        X::DOMNode* attribute = attributes->item(i);
        if (!X::XMLString::equals(attribute->getNamespaceURI(), u"http://www.velmor.com/XMLSchema")) continue;
        entry.attributes[Hvd::Xml::Utf8Text(attribute->getLocalName()).str()] =
            Hvd::Xml::Utf8Text(attribute->getNodeValue()).str();
      }
      return entry;
    };
    for (X::DOMElement* element :
         Hvd::ElementsNamed(document.get(), u"http://www.velmor.com/XMLSchema", Hvd::Xml::XmlText(name).get())) {
      Element entry = read(element);
      for (X::DOMNode* child = element->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
        if (child->getNodeType() == X::DOMNode::ELEMENT_NODE) {
          Element sub = read(static_cast<X::DOMElement*>(child));
          sub.attributes["@"] = Hvd::Xml::Utf8Text(child->getLocalName()).str();
          entry.children.push_back(sub);
        }
      }
      found.push_back(entry);
    }
    return found;
  }

  // Marks a run of the named instance: times, checksums, status values and output files.
  void Ran(const char* name, std::int64_t start, std::int64_t end, std::vector<std::uint32_t> values,
           std::vector<fs::path> outputs, std::int64_t propertyChecksum = 0, std::int64_t inputChecksum = 0) {
    AutoRelease<Hvd::ITransformInstance> instance = Instance(name);
    AutoCast<Hvd::ITransformInstance2> runs(instance.Get());
    ASSERT_TRUE(runs) << name;
    AutoRelease<Prjrep::ITimestamp> time;
    ASSERT_EQ(runs->GetStartTime(time.Receive()), kSuccess);
    ASSERT_EQ(time->SetTime(start, 0), kSuccess);
    ASSERT_EQ(runs->GetEndTime(time.ReleaseAndReceive()), kSuccess);
    ASSERT_EQ(time->SetTime(end, 0), kSuccess);
    ASSERT_EQ(runs->SetPropertyChecksum(propertyChecksum), kSuccess);
    ASSERT_EQ(runs->SetInputChecksum(inputChecksum), kSuccess);
    for (std::uint32_t value : values) ASSERT_EQ(AutoCast<Hvd::IStatus>(instance.Get())->AddStatusValue(value), kSuccess);
    AutoRelease<Prjrep::ISet> set;
    ASSERT_EQ(instance->GetOutputFiles(set.Receive()), kSuccess);
    for (const fs::path& output : outputs) ASSERT_EQ(set->Add(AutoCast<Hvd::IFile>(File(output)).Get()), kSuccess);
  }
  // The engine works out what the recorded runs mean, as after any change.
  void Calculate() {
    AutoRelease<Hvd::ITransformEngine> engine;
    ASSERT_EQ(Design()->GetTOE(engine.Receive()), kSuccess);
    ASSERT_EQ(AutoCast<Hvd::IStatusCalculator>(engine.Get())->CalculateStatus(), kSuccess);
  }
  Hvd::IView* ViewOfType(const char* type) {
    AutoRelease<Hvd::IViewIterator> views;
    EXPECT_EQ(AutoCast<Hvd::IViewManager>(Design())->GetViews(views.Receive()), kSuccess);
    for (; views && !views->IsDone(); std::ignore = views->Next()) {
      if (Hvd::GetDefDataIdName(views->Current()).str() == type) return views->Current();
    }
    return nullptr;
  }
  std::vector<std::string> TransformNames() {
    std::vector<std::string> names;
    for (const Element& transform : Elements(m_ghlc, "transform")) names.push_back(transform.attributes.at("name"));
    return names;
  }

  fs::path m_ghlc;
};

// What a save records survives the close: origination, marks, times, checksums, every named
// status value and the output files; saving the same state again gives the same bytes.
TEST_F(GeneratedProjectTest, SavedClosedAndReopenedWithGeneratedFilesAndTransformStatus) {
  ASSERT_EQ(Open(), kSuccess);
  AddFile(m_dir / "gen/netlist.ngc", 1, {0, 2, 8, 6});
  AddFile(m_dir / "imp/core.v", 2, {1});
  AddFile(m_dir / "gen/odd.vhd", 4, {5});
  AddFile(m_dir / "user.vhd", 0, {0});
  std::vector<std::uint32_t> named;  // every value but the two that mean "nothing to keep"
  for (std::uint32_t value = 2; value <= 26; ++value) named.push_back(value);
  Ran("TRAN_synth", 1700000000, 1700000042, named,
      {m_dir / "gen/netlist.ngc", m_dir / "imp/core.v", m_dir / "gen/netlist.ngc"}, -5, INT64_MAX);
  Ran("TRAN_translate", 1700000100, 0, {5}, {});
  Calculate();
  const std::string synth = Run("TRAN_synth"), translate = Run("TRAN_translate");
  EXPECT_EQ(synth, "1700000000 1700000042 -5 9223372036854775807 | 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 "
                   "22 23 24 25 26 | netlist.ngc core.v netlist.ngc");
  ASSERT_EQ(ForceSave(), kSuccess);
  const std::string first = ReadText(m_ghlc);
  EXPECT_NE(first.find("\r\n"), std::string::npos);
  EXPECT_EQ(first.find_first_of('\n'), first.find("\r\n") + 1);
  for (std::size_t at = first.find('\n'); at != std::string::npos; at = first.find('\n', at + 1))
    ASSERT_EQ(first[at - 1], '\r') << "a line ends without a carriage return at " << at;
  // Saved again unchanged: the same bytes, written again all the same, as every save writes it.
  const Stamp written = StampOf(m_ghlc);
  ASSERT_EQ(ForceSave(), kSuccess);
  EXPECT_EQ(ReadText(m_ghlc), first);
  EXPECT_NE(StampOf(m_ghlc).inode, written.inode);

  const std::vector<Element> files = Elements(m_ghlc, "file");
  ASSERT_EQ(files.size(), 3u);  // the user's own file is the project file's
  EXPECT_EQ(files[0].attributes, (std::map<std::string, std::string>{
                                     {"name", "gen/netlist.ngc"}, {"fileType", "FILE_NGC"}, {"subbranch", "Map"}}));
  ASSERT_EQ(files[0].children.size(), 2u);
  EXPECT_EQ(files[0].children[1].attributes.at("name"), "PostSynthSim");
  EXPECT_EQ(files[1].attributes.at("origination"), "user");
  EXPECT_EQ(files[2].attributes.at("origination"), "imported");
  EXPECT_EQ(files[2].attributes.at("branch"), "BehavioralSim");
  const std::vector<Element> transforms = Elements(m_ghlc, "transform");
  ASSERT_EQ(TransformNames(), (std::vector<std::string>{"TRAN_synth", "TRAN_translate"}));
  EXPECT_EQ(transforms[0].attributes.at("prop_ck"), "-5");
  EXPECT_EQ(transforms[0].children.size(), 25u + 2u);  // two outfiles: one name is listed twice
  EXPECT_EQ(transforms[0].children[0].attributes.at("value"), "WaitingForThreadToRun");
  EXPECT_EQ(transforms[0].children[24].attributes.at("value"), "StatusValue");
  EXPECT_EQ(transforms[0].children[25].attributes.at("name"), "gen/netlist.ngc");
  EXPECT_EQ(transforms[1].attributes.count("end_ts"), 0u);
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);

  ASSERT_EQ(Open(), kSuccess);
  EXPECT_EQ(Origin(m_dir / "gen/netlist.ngc"), 1u);
  EXPECT_EQ(Origin(m_dir / "imp/core.v"), 2u);
  EXPECT_EQ(Origin(m_dir / "gen/odd.vhd"), 0u);
  // Only the first sub-branch is written.
  EXPECT_EQ(Marks(m_dir / "gen/netlist.ngc"), (std::vector<std::uint32_t>{0, 2, 6}));
  EXPECT_EQ(Marks(m_dir / "imp/core.v"), (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(Run("TRAN_synth"), "1700000000 1700000042 -5 9223372036854775807 | 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 "
                               "17 18 19 20 21 22 23 24 25 26 | netlist.ngc core.v");
  EXPECT_EQ(Run("TRAN_translate"), translate);
  // Written again from what was read, the file is the same, but for the file that came back as
  // the user's own.
  ASSERT_EQ(ForceSave(), kSuccess);
  std::string expected = first;
  const std::size_t odd = expected.find("    <file vel_kv:branch=\"PostRouteSimulation\"");
  ASSERT_NE(odd, std::string::npos);
  expected.erase(odd, expected.find('\n', odd) + 1 - odd);
  EXPECT_EQ(ReadText(m_ghlc), expected);
}

// A write that fails at any step leaves the file that was there, and says so.
// Files of a few directories, several in each: every name is the file's own written form,
// the same as its full name alone gives.
TEST_F(GeneratedProjectTest, NamesOfFilesInManyDirectoriesAreEachTheirOwn) {
  ASSERT_EQ(Open(), kSuccess);
  const std::vector<fs::path> paths = {
      m_dir / "gen/a.ngc",       m_dir / "gen/b.ngc",      m_dir / "c.ngc",          m_dir / "gen/deep/d.ngc",
      m_dir / "../side/e.ngc",   m_dir / "../side/f.ngc",  m_dir / "gen/deep/g.ngc", m_dir / "h.ngc",
  };
  for (const fs::path& path : paths) AddFile(path, 1, {0});
  ASSERT_EQ(ForceSave(), kSuccess);
  const Hvd::SplitPath record(m_ghlc.c_str(), true);
  std::set<std::string> expected;
  for (const fs::path& path : paths) {
    Port::StringBase<char> name;
    Hvd::NormalizeFileName(record, fs::weakly_canonical(path).c_str(), name);
    expected.insert(name.str());
  }
  std::set<std::string> written;
  for (const Element& file : Elements(m_ghlc, "file")) written.insert(file.attributes.at("name"));
  EXPECT_EQ(written, expected);
  EXPECT_EQ(written.count("../side/e.ngc"), 1u);
  EXPECT_EQ(written.count("gen/deep/g.ngc"), 1u);
}

TEST_F(GeneratedProjectTest, FailedWriteLeavesTheOldFileAndIsReported) {
  Port::FaultInjection::Scope scope;
  ASSERT_EQ(Open(), kSuccess);
  AddFile(m_dir / "gen/netlist.ngc", 1, {0});
  ASSERT_EQ(ForceSave(), kSuccess);
  const std::string old = ReadText(m_ghlc);
  Ran("TRAN_synth", 1700000000, 1700000042, {5}, {m_dir / "gen/netlist.ngc"});
  Calculate();
  Hvd::CProject* project = Hvd::CProject::FromInterface(m_project.Get());
  for (const char* step : {"open", "write", "fsync", "rename"}) {
    Port::FaultInjection::Fail(step, 1, "p.ghlc");
    EXPECT_EQ(project->WriteGeneratedProjectFile(Text(), nullptr), Hvd::kFailure) << step;
    EXPECT_EQ(ReadText(m_ghlc), old) << step;
  }
  for (const auto& entry : fs::directory_iterator(m_dir))
    EXPECT_EQ(entry.path().filename().string().rfind(".hvd.", 0), std::string::npos) << entry.path();
  EXPECT_EQ(project->WriteGeneratedProjectFile(Text(), nullptr), kSuccess);
  EXPECT_EQ(TransformNames(), std::vector<std::string>{"TRAN_synth"});
  // A place that cannot be written is refused before anything is made.
  EXPECT_EQ(project->WriteGeneratedProjectFile((m_root / "missing/p.ghlc").c_str(), nullptr), Hvd::kProjectReadOnly);
  Hvd::GeneratedProjectWriter writer((m_root / "missing/p.ghlc").c_str(), m_project.Get());
  EXPECT_EQ(writer.Write(), Hvd::kFailure);
  EXPECT_FALSE(fs::exists(m_root / "missing"));
}

// Only the project's own generated and imported files are written: a file that only another
// project made comes back through that project, and would come back as this project's own if it
// were written here. A project file is written whoever made it, since it keeps its child.
TEST_F(GeneratedProjectTest, FilesThatOnlyAnotherProjectMadeAreLeftToIt) {
  ASSERT_EQ(Open(), kSuccess);
  AutoRelease<Hvd::IProject> other(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  ASSERT_TRUE(other);
  ASSERT_EQ(other->Open((m_dir / "core/core.xhlc").c_str()), kSuccess);
  AddFile(m_dir / "gen/own.ngc", 1, {0});
  AddFile(m_dir / "core/theirs.v", 2, {1});
  AddFile(m_dir / "core/shared.v", 2, {1});
  AddFile(m_dir / "core/sub.xhlc", 2, {});
  for (const char* theirs : {"core/theirs.v", "core/sub.xhlc"}) {
    std::ignore = Hvd::RemoveOriginator(File(m_dir / theirs), m_project.Get());
    Hvd::AddOriginator(File(m_dir / theirs), other.Get());
  }
  Hvd::AddOriginator(File(m_dir / "core/shared.v"), other.Get());
  ASSERT_EQ(ForceSave(), kSuccess);
  std::set<std::string> written;
  for (const Element& file : Elements(m_ghlc, "file")) written.insert(file.attributes.at("name"));
  EXPECT_EQ(written, (std::set<std::string>{"gen/own.ngc", "core/shared.v", "core/sub.xhlc"}));
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);
  EXPECT_EQ(other->ProjectClose(false), kSuccess);
}

// A status value outside the table has no name: it is neither written nor read as a number.
TEST_F(GeneratedProjectTest, StatusValuesOutsideTheTableAreRefused) {
  ASSERT_EQ(Open(), kSuccess);
  Hvd::Xml::DocumentPtr document(X::DOMImplementationRegistry::getDOMImplementation(u"LS")->createDocument(
      u"http://www.velmor.com/XMLSchema", u"transforms", nullptr));
  Hvd::GeneratedProjectWriter writer(m_ghlc.c_str(), m_project.Get());
  Hvd::TransformRecorder recorder(m_project.Get(), document->getDocumentElement(), document.get(),
                                  Hvd::SplitPath(m_ghlc.c_str(), true), writer);
  AutoRelease<Hvd::ITransformInstance> fake(new FakeInstance({5, 27, 0xFFFFFFFFu, 8}));
  recorder.RecordTransform(fake.Get());
  recorder.RecordTransform(fake.Get());  // one instance is recorded once
  X::DOMElement* transforms = document->getDocumentElement();
  ASSERT_EQ(transforms->getChildElementCount(), 1u);
  std::vector<std::string> values;
  for (X::DOMElement* status = transforms->getFirstElementChild()->getFirstElementChild(); status != nullptr;
       status = status->getNextElementSibling())
    values.push_back(Hvd::Xml::Utf8Text(status->getAttributeNS(u"http://www.velmor.com/XMLSchema", u"value")).str());
  EXPECT_EQ(values, (std::vector<std::string>{"SuccessfullyRun", "WarningsGenerated"}));
  // The engine takes no such value either.
  EXPECT_EQ(AutoCast<Hvd::IStatus>(Instance("TRAN_synth").Get())->AddStatusValue(27), Hvd::kInvalidParameter);
  EXPECT_EQ(Hvd::GhlcNames::StatusName(27), std::nullopt);
  EXPECT_EQ(Hvd::GhlcNames::StatusValueOf("successfullyrun"), std::nullopt);
}

// A binding that leads back upstream closes a cycle: the walk ends, and each view's transforms,
// and each instance, are written once.
TEST_F(GeneratedProjectTest, WalkEndsOnACycleAndRecordsEachTransformOnce) {
  ASSERT_EQ(Open(), kSuccess);
  Ran("TRAN_synth", 1700000000, 1700000042, {5}, {});
  Ran("TRAN_par", 1700000200, 1700000300, {5}, {});
  Calculate();
  Hvd::IView* initial = ViewOfType("VIEW_Initial");
  Hvd::IView* par = ViewOfType("VIEW_Par");
  ASSERT_TRUE(initial != nullptr && par != nullptr);
  AutoRelease<Hvd::ITransformBindingInstanceSet> second;
  ASSERT_EQ(AutoCast<Hvd::ITransformBindingSets>(par)->GetSecondBindingSet(second.Receive()), kSuccess);
  // Back to the start, with an instance met on the way already.
  AutoRelease<Hvd::ITransformBindingInstance> back(new BackBinding(initial, Instance("TRAN_synth").Get()));
  ASSERT_EQ(second->Add(back.Get()), kSuccess);
  ASSERT_EQ(ForceSave(), kSuccess);
  EXPECT_EQ(TransformNames(), (std::vector<std::string>{"TRAN_synth", "TRAN_par"}));

  // Every hook is called once per view, also for a view reached again.
  struct Counter : Hvd::ViewNetworkWalker {
    using ViewNetworkWalker::ViewNetworkWalker;
    void EnterView(Hvd::IView* view) override { ++views[Hvd::RootOf(view)]; }
    std::map<CitI::IInterface*, int> views;
  } counter(m_project.Get());
  counter.Walk();
  EXPECT_GE(counter.views.size(), 9u);
  for (const auto& [view, count] : counter.views) EXPECT_EQ(count, 1);
  EXPECT_EQ(m_project->ProjectClose(false), kSuccess);
}

// What the reader takes from a file written by hand: origination by exact word, branches from
// the attribute, the sub-branch and nested elements, numbers only when whole, status names
// only from the table, outfiles through the generated files or the project's own.
TEST_F(GeneratedProjectTest, ReadsWhatTheFileSaysAndSkipsWhatItCannotName) {
  ASSERT_EQ(Open(), kSuccess);
  ASSERT_EQ(m_project->ProjectClose(true), kSuccess);
  const std::string ns = "http://www.velmor.com/XMLSchema";
  WriteText(m_ghlc, "<generated_project xmlns=\"" + ns + "\" xmlns:vel_kv=\"" + ns + "\"><files>"
            "<file vel_kv:name=\"g/a.vhd\" vel_kv:branch=\"BehavioralSim\" vel_kv:subbranch=\"Map\"/>"
            "<file vel_kv:name=\"g/b.vhd\" vel_kv:origination=\"Imported\"><branch vel_kv:name=\"Implementation\"/>"
            "<branch vel_kv:name=\"PostRouteSimulation\"/></file>"
            "<file vel_kv:name=\"g/c.vhd\" vel_kv:origination=\"imported\" vel_kv:branch=\"PostSynthSim\"/>"
            "<file vel_kv:name=\"" + (m_dir / "g/d.vhd").string() + "\" vel_kv:origination=\"user\"/>"
            "<file vel_kv:name=\"\"/></files><transforms>"
            "<transform vel_kv:name=\"TRAN_synth\" vel_kv:start_ts=\"12abc\" vel_kv:end_ts=\"1700000042\" "
            "vel_kv:in_ck=\"-9223372036854775808\"><status vel_kv:value=\"SuccessfullyRun\"/>"
            "<status vel_kv:value=\"successfullyrun\"/><status vel_kv:value=\"27\"/>"
            "<status vel_kv:value=\"WarningsGenerated\"/><outfile vel_kv:name=\"g/a.vhd\"/>"
            "<outfile vel_kv:name=\"../proj/g/d.vhd\"/><outfile vel_kv:name=\"g/none.vhd\"/></transform>"
            "<transform vel_kv:name=\"TRAN_nosuch\"><status vel_kv:value=\"FailedRun\"/></transform>"
            "</transforms></generated_project>");
  ASSERT_EQ(Open(), kSuccess);
  EXPECT_EQ(FileNames().size(), 4u);
  EXPECT_EQ(Origin(m_dir / "g/a.vhd"), 1u);
  EXPECT_EQ(Origin(m_dir / "g/b.vhd"), 1u);
  EXPECT_EQ(Origin(m_dir / "g/c.vhd"), 2u);
  EXPECT_EQ(Origin(m_dir / "g/d.vhd"), 0u);
  EXPECT_EQ(Marks(m_dir / "g/a.vhd"), (std::vector<std::uint32_t>{1, 6}));
  EXPECT_EQ(Marks(m_dir / "g/b.vhd"), (std::vector<std::uint32_t>{0, 5}));
  EXPECT_EQ(Marks(m_dir / "g/c.vhd"), (std::vector<std::uint32_t>{2}));
  EXPECT_EQ(Run("TRAN_synth"), "0 1700000042 0 -9223372036854775808 | 5 8 | a.vhd d.vhd");
  // The design reads the status again, after its views were rebuilt, through the same reader.
  EXPECT_EQ(Hvd::ReadTransformStatusBack(m_project.Get(), m_ghlc.c_str()), kSuccess);
  EXPECT_EQ(Run("TRAN_synth"), "0 1700000042 0 -9223372036854775808 | 5 8 | a.vhd d.vhd");
  EXPECT_EQ(Hvd::ReadTransformStatusBack(m_project.Get(), (m_dir / "none.ghlc").c_str()), Hvd::kFailure);
  // A file that does not parse is reported, and the project opens without it.
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  WriteText(m_ghlc, "<generated_project>broken");
  Port_MsgManData::ClearCaptured();
  ASSERT_EQ(Open(), kSuccess);
  EXPECT_TRUE(Captured(Port_MsgManData::Severity::Error, "p.ghlc"));
  EXPECT_TRUE(FileNames().empty());
}

// A change of the simulator alone makes the views and transforms anew and keeps what the runs
// recorded: the project is saved first and the status read back from its generated file. With
// another setting changed at once, the new transforms start with nothing recorded.
TEST_F(GeneratedProjectTest, ASimulatorChangeAloneKeepsTheRecordedRunsThroughTheGeneratedFile) {
  ASSERT_EQ(Open(), kSuccess);
  AddFile(m_dir / "gen/netlist.ngc", 1, {0});
  Ran("TRAN_synth", 1700000000, 1700000042, {5, 8}, {m_dir / "gen/netlist.ngc"}, -5, 9);
  Calculate();
  const std::string synth = Run("TRAN_synth");
  ASSERT_EQ(synth, "1700000000 1700000042 -5 9 | 5 8 | netlist.ngc");
  const std::string unrun = Run("TRAN_translate");
  // The device settings change as the host changes them: the value, then the platform's notice.
  AutoRelease<Hvd::IDesignPlatform> platform;
  ASSERT_EQ(Design()->GetDesignPlatform(platform.Receive()), kSuccess);
  const auto change = [&](const std::map<std::string, std::string>& values) {
    AutoRelease<Hvd::IPropertyInstanceIterator> settings;
    ASSERT_EQ(platform->GetProperties(settings.Receive()), kSuccess);
    std::size_t changed = 0;
    for (; !settings->IsDone(); std::ignore = settings->Next()) {
      const auto found = values.find(Hvd::GetDefDataIdName(settings->Current()).str());
      if (found == values.end()) continue;
      ASSERT_EQ(settings->Current()->SetValue(found->second.c_str()), kSuccess) << found->first;
      ++changed;
    }
    ASSERT_EQ(changed, values.size());
    ASSERT_EQ(platform->NotifyChanges(), kSuccess);
  };
  const AutoPtr<Hvd::ITransformInstance> before(Instance("TRAN_synth").Get());

  change({{"PROP_Simulator", "Other (VHDL)"}});
  EXPECT_EQ(TransformNames(), Strings{"TRAN_synth"}) << "saved before the views went";
  EXPECT_NE(Hvd::RootOf(Instance("TRAN_synth").Get()), Hvd::RootOf(before.Get())) << "the transforms are new";
  EXPECT_EQ(Run("TRAN_synth"), synth);
  EXPECT_EQ(Run("TRAN_translate"), unrun);

  change({{"PROP_Simulator", "Other (Verilog)"}, {"PROP_PreferredLanguage", "Verilog"}});
  EXPECT_EQ(Run("TRAN_synth"), unrun);
}

// A file that a hand-written file calls generated is read as generated; the save leaves the word
// out, which reads back the same.
TEST_F(GeneratedProjectTest, AFileCalledGeneratedIsReadAsGeneratedAndWrittenWithoutTheWord) {
  ASSERT_EQ(Open(), kSuccess);
  ASSERT_EQ(m_project->ProjectClose(true), kSuccess);
  const std::string ns = "http://www.velmor.com/XMLSchema";
  WriteText(m_ghlc, "<generated_project xmlns=\"" + ns + "\" xmlns:vel_kv=\"" + ns + "\"><files>"
            "<file vel_kv:name=\"g/a.vhd\" vel_kv:origination=\"generated\"/>"
            "<file vel_kv:name=\"g/b.vhd\" vel_kv:origination=\"imported\"/>"
            "</files><transforms/></generated_project>");
  ASSERT_EQ(Open(), kSuccess);
  EXPECT_EQ(Origin(m_dir / "g/a.vhd"), 1u);
  EXPECT_EQ(Origin(m_dir / "g/b.vhd"), 2u);
  ASSERT_EQ(ForceSave(), kSuccess);
  std::map<std::string, std::map<std::string, std::string>> written;
  for (const Element& file : Elements(m_ghlc, "file")) written[file.attributes.at("name")] = file.attributes;
  ASSERT_EQ(written.size(), 2u) << ReadText(m_ghlc);
  EXPECT_EQ(written["g/a.vhd"].count("origination"), 0u) << ReadText(m_ghlc);
  EXPECT_EQ(written["g/b.vhd"]["origination"], "imported");
  ASSERT_EQ(m_project->ProjectClose(false), kSuccess);
  ASSERT_EQ(Open(), kSuccess);
  EXPECT_EQ(Origin(m_dir / "g/a.vhd"), 1u);
  EXPECT_EQ(Origin(m_dir / "g/b.vhd"), 2u);
}

}  // namespace
}  // namespace xhlc_test
