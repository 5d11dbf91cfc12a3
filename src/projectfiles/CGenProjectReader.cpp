#include "projectfiles/CGenProjectReader.h"

#include <charconv>
#include <unordered_set>
#include <vector>

#include "Hvd/IBaseServices.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ITransformEngine.h"
#include "files/FileViewPlacement.h"
#include "Port/FileName.h"
#include "Prjrep/IName.h"
#include "core/Interface.h"
#include "design/design/Placement.h"
#include "projectfiles/GhlcNames.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace G = GhlcNames;
namespace N = XmlNames;

namespace {

// The whole text as a signed 64-bit decimal; anything else, an empty text included, is 0.
std::int64_t NumberOf(const Text& text) {
  std::int64_t value = 0;
  const char* end = text.c_str() + text.size();
  const auto [stop, error] = std::from_chars(text.c_str(), end, value);
  return error == std::errc() && stop == end ? value : 0;
}

// The identities of what the set holds: read once, so that each file added is checked against it
// in constant time, not by a walk of the whole set.
std::unordered_set<CitI::IInterface*> HeldIn(Prjrep::ISet* set) {
  std::unordered_set<CitI::IInterface*> held;
  AutoRelease<Prjrep::IIterator> at;
  if (set->GetIterator(at.Receive()) != kSuccess || !at) return held;
  held.reserve(set->Size());
  for (; !at->IsDone(); std::ignore = at->Next()) held.insert(RootOf(at->Current()));
  return held;
}

// The transform engine of the project's design, or null.
AutoRelease<ITransformEngine> EngineOf(IProject* project) {
  AutoRelease<ITransformEngine> engine;
  if (IDesign* design = DesignOf(project); design != nullptr) std::ignore = design->GetTOE(engine.Receive());
  return engine;
}

}  // namespace

CGenProjectReader::CGenProjectReader(IProject* project) : CXMLReader(project) {}

CGenProjectReader::~CGenProjectReader() { m_fileMap.clear(); }

void CGenProjectReader::ReadFiles() {
  // The files read are placed once afterwards, with the project file's.
  const FileViewPlacementHold hold;
  X::DOMDocument* document = GetDocument();
  if (document == nullptr) return;
  for (X::DOMElement* files : ElementsNamed(document, N::kNamespaceUriW, N::kFilesW)) {
    for (X::DOMElement* file : ElementsNamed(files, N::kNamespaceUriW, N::kFileW)) std::ignore = HandleGenFile(Text(), file);
  }
}

bool CGenProjectReader::HandleGenFile(const String&, X::DOMElement* element) {
  if (element == nullptr || GetDocument() == nullptr) return false;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  const Text name = AttributeText(xml, element, N::kNameW);
  // A nameless entry would resolve to the file's own directory.
  if (name.empty()) return false;
  const Text path = ResolveProjectPath(name);

  AutoRelease<IFileType> type;
  if (const Text typeName = AttributeText(xml, element, G::kFileTypeW); !typeName.empty()) {
    AutoRelease<IDataStore> store;
    AutoRelease<CitI::IInterface> definition;
    IDesign* design = DesignOf(Project());
    if (design != nullptr && design->GetDataStore(store.Receive()) == kSuccess && store &&
        store->FindDefData(typeName, definition.Receive()) == kSuccess && definition) {
      AutoCast<IFileTypeStore> types(store.Get());
      AutoCast<IDefDataId> id(definition.Get());
      if (types && id) std::ignore = types->GetFileType(id.Get(), type.Receive());
    }
  }

  AutoRelease<IHdlFile> file;
  const Status added = AddFile(path, type.Get(), file);
  // A file already in the project is found again for the transforms' outputs, but keeps its
  // own origin and branches.
  m_fileMap[path] = (added == kSuccess || added == kAlreadyInProject) ? AutoCast<IFile>(file.Get()).Get() : nullptr;
  if (added != kSuccess || !file) return false;
  ReadOrigination(AutoCast<IFile>(file.Get()).Get(), element, 1);
  ReadBranch(AttributeText(xml, element, G::kBranchW), file.Get(), element);
  return true;
}

void CGenProjectReader::ReadOrigination(IFile* file, X::DOMElement* element, std::uint32_t defaultState) {
  if (file == nullptr || element == nullptr) return;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  const Text origination = AttributeText(xml, element, G::kOriginationW);
  std::uint32_t state = defaultState;
  if (origination == G::kImported) {
    state = 2;
  } else if (origination == G::kUser) {
    state = 0;
  } else if (origination == G::kGenerated) {
    state = 1;
  }
  std::ignore = file->SetOriginState(state);
}

void CGenProjectReader::MarkBranch(const String& branch, CitI::IInterface* file) {
  // The writer's name of the post-synthesis mark, which the project file's table lacks:
  // without it such a file would leave its post-synthesis views on every reopen.
  if (branch == G::kMarks[2].written) {
    if (AutoCast<IViewClassAssociation> marks(file); marks) std::ignore = marks->SetBit(2);
    return;
  }
  CXMLReader::ReadBranch(branch, file, nullptr);
}

void CGenProjectReader::ReadBranch(const String& branch, CitI::IInterface* file, X::DOMElement* element) {
  MarkBranch(branch, file);
  if (element == nullptr || GetDocument() == nullptr) return;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  MarkBranch(AttributeText(xml, element, G::kSubBranchW), file);
  for (X::DOMElement* nested : ElementsNamed(element, N::kNamespaceUriW, G::kBranchW))
    MarkBranch(AttributeText(xml, nested, N::kNameW), file);
}

// --- Transforms ---------------------------------------------------------------------------

AutoRelease<ITransformInstance> CGenProjectReader::FindInstance(X::DOMElement* element) {
  AutoRelease<ITransformInstance> instance;
  AutoRelease<ITransformEngine> engine = EngineOf(Project());
  AutoCast<ITransformAccess> access(engine.Get());
  if (!access) return instance;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  if (access->FindTransformInstance(AttributeText(xml, element, N::kNameW), instance.Receive()) != kSuccess)
    instance = nullptr;
  return instance;
}

void CGenProjectReader::ReadTransforms() {
  X::DOMDocument* document = GetDocument();
  if (document == nullptr) return;
  AutoRelease<ITransformEngine> engine = EngineOf(Project());
  AutoCast<IStatusCalculator> calculator(engine.Get());
  const std::vector<X::DOMElement*> transforms = ElementsNamed(document, N::kNamespaceUriW, G::kTransformW);
  {
    // The views and the engine recompute once, when everything recorded is back.
    const BatchDelayScope batch(Project());
    for (X::DOMElement* transform : transforms) ReadTransformState(transform);
    if (calculator) std::ignore = calculator->ClearCalculatedStatus();
    for (X::DOMElement* transform : transforms) ReadTransformStatus(transform);
  }
  if (calculator) {
    std::ignore = calculator->SetCalculationEnabled(true);
    std::ignore = calculator->CalculateStatus();
  }
}

void CGenProjectReader::ReadTransformState(X::DOMElement* element) {
  AutoRelease<ITransformInstance> instance = FindInstance(element);
  ReadOutFiles(element, instance.Get());
  AutoCast<ITransformInstance2> runs(instance.Get());
  if (!runs) return;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  const std::int64_t start = NumberOf(AttributeText(xml, element, G::kStartTimeW));
  const std::int64_t end = NumberOf(AttributeText(xml, element, G::kEndTimeW));
  const std::int64_t properties = NumberOf(AttributeText(xml, element, G::kPropertyChecksumW));
  const std::int64_t inputs = NumberOf(AttributeText(xml, element, G::kInputChecksumW));
  AutoRelease<Prjrep::ITimestamp> time;
  if (start != 0 && runs->GetStartTime(time.Receive()) == kSuccess && time) std::ignore = time->SetTime(start, 0);
  if (end != 0 && runs->GetEndTime(time.ReleaseAndReceive()) == kSuccess && time) std::ignore = time->SetTime(end, 0);
  if (inputs != 0) std::ignore = runs->SetInputChecksum(inputs);
  if (properties != 0) std::ignore = runs->SetPropertyChecksum(properties);
}

void CGenProjectReader::ReadTransformStatus(X::DOMElement* element) {
  AutoRelease<ITransformInstance> instance = FindInstance(element);
  AutoCast<IStatus> status(instance.Get());
  if (!status) return;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  for (X::DOMElement* value : ElementsNamed(element, N::kNamespaceUriW, G::kStatusW)) {
    // Only a name of the table gives a value; any other text is skipped, never a number.
    if (const auto number = G::StatusValueOf(AttributeText(xml, value, G::kValueW).str()); number)
      std::ignore = status->AddStatusValue(*number);
  }
}

void CGenProjectReader::ReadOutFiles(X::DOMElement* element, ITransformInstance* instance) {
  if (instance == nullptr) return;
  const std::vector<X::DOMElement*> outfiles = ElementsNamed(element, N::kNamespaceUriW, G::kOutFileW);
  if (outfiles.empty()) return;
  AutoRelease<Prjrep::ISet> outputs;
  if (instance->GetOutputFiles(outputs.Receive()) != kSuccess || !outputs) return;
  const XMLNamespaceHelper xml(GetDocument(), N::kNamespaceUriW);
  AutoCast<IFileManager> files(Project());
  // The status read again adds no file twice.
  std::unordered_set<CitI::IInterface*> held = HeldIn(outputs.Get());
  for (X::DOMElement* outfile : outfiles) {
    const Text name = AttributeText(xml, outfile, N::kNameW);
    if (name.empty()) continue;
    const Text path = ResolveProjectPath(name);
    IFile* file = nullptr;
    auto known = m_fileMap.find(name);
    if (known == m_fileMap.end()) known = m_fileMap.find(path);
    AutoRelease<IHdlFile> found;
    if (known != m_fileMap.end()) {
      file = known->second;  // null for a file the project refused
    } else if (files && files->FindFileCompFromName(path, found.Receive()) == kSuccess && found) {
      file = AutoCast<IFile>(found.Get()).Get();
    }
    if (file != nullptr && !held.contains(RootOf(file)) && outputs->Add(file) == kSuccess) held.insert(RootOf(file));
  }
}

Status ReadGeneratedTransformStatus(IProject* project, const Text& path) {
  if (project == nullptr) return kInvalidParameter;
  if (!Port::File::exist(path)) return kFailure;
  CGenProjectReader reader(project);
  if (!reader.ParseFile(path)) return kFailure;
  reader.ReadTransforms();
  return kSuccess;
}

}  // namespace Hvd
