#include "projectfiles/CProjectSourceXMLWriter.h"

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <xercesc/dom/DOMComment.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/XMLString.hpp>

#include "Hvd/IBaseServices.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Port/Version.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "core/AtomicFile.h"
#include "files/file/GoneViews.h"
#include "files/file/UserAdded.h"
#include "projectfiles/XMLDifferencer.h"
#include "projectfiles/XhlcSnapshot.h"
#include "projectfiles/XhlcLayout.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "utils/DmUtils.h"
#include "utils/FileStamp.h"
#include "utils/KeyedProperty.h"
#include "utils/PropertyAccessor.h"
#include "utils/XmlSerializer.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace N = XmlNames;

namespace {

constexpr XMLCh kXmlnsUri[] = u"http://www.w3.org/2000/xmlns/";
constexpr XMLCh kXmlns[] = u"xmlns";
constexpr XMLCh kXmlnsPrefixed[] = u"xmlns:vel_kv";

// Local names of the seven sections, in the order of a new file.
constexpr const XMLCh* kSectionNames[] = {N::kHeaderW,     N::kVersionW,  N::kFilesW,    N::kAutoManagedFilesW,
                                          N::kPropertiesW, N::kBindingsW, N::kLibrariesW};

// Never written: internal switches, branch words the views hold, and the tool paths of the
// user's machine.
constexpr const char* kExcludedProperties[] = {
    "PROP_WriteDefaultPropToSourceProject",
    "PROP_Dummy",
    "internalRanStuffAlready",
    "PROP_HierarchicalProjectType",
    "PROP_Abstract",
    "PROP_BehavioralSimulationBranch",
    "PROP_ForceCompileBCD",
    "PROP_ImplementationBranch",
    "PROP_Map",
    "PROP_Par",
    "PROP_PartitionCreateDelete",
    "PROP_PartitionForcePlacement",
    "PROP_PartitionForceSynth",
    "PROP_PartitionForceTranslate",
    "PROP_PostMapSimulationBranch",
    "PROP_PostRouteSimulationBranch",
    "PROP_PostSynthesisSimulationBranch",
    "PROP_PostTranslateSimulationBranch",
    "PROP_Translate",
    "PROP_Parse_Target",
    "PROP_intMtnProjectIteration",
    "PROP_DisableAutomaticHierarchyRegeneration",
    "PROP_UserEditorPreference",
    "PROP_UserEditorCustomSetting",
    "PROP_UserConstraintEditorPreference",
    "PROP_FlowDebugLevel",
    "PROP_FitterReportFormat",
    "PROP_BinDirModelSim",
    "PROP_BinDirSynplify",
    "PROP_BinDirSynplifyPro",
    "PROP_BinDirPrecision",
    "PROP_BinDirTracelet",
    "PROP_ToolPathModelSim",
    "PROP_ToolPathSynplify",
    "PROP_ToolPathSynplifyPro",
    "PROP_ToolPathPrecision",
    "PROP_ToolPathTracelet",
};

bool IsExcluded(const Text& name) {
  return std::any_of(std::begin(kExcludedProperties), std::end(kExcludedProperties),
                     [&](const char* excluded) { return name == excluded; });
}

bool IsKeptValue(const Text& value) {
  return boost::algorithm::iequals(value.str(), "Search in Path") ||
         boost::algorithm::iequals(value.str(), "$VELMOR/<language>/<simulator>") ||
         boost::algorithm::iequals(value.str(), "Default");
}

// A directory without its trailing separators, "\\" turned to "/".
Text SlashTrimmed(const Text& path) {
  Text result(MakeSlashPath(path.c_str()));
  while (result.size() > 1 && result.str().back() == '/') result.str().pop_back();
  return result;
}

std::optional<bool>& UnsortedFlag() {
  static std::optional<bool> flag;
  return flag;
}
std::optional<bool>& NoDirtyCheckFlag() {
  static std::optional<bool> flag;
  return flag;
}
bool ReadOnce(std::optional<bool>& flag, const char* name) {
  if (!flag) flag = std::getenv(name) != nullptr;
  return *flag;
}

// The first child element of a local name, in any namespace.
X::DOMElement* FirstChildNamed(X::DOMNode* parent, const XMLCh* localName) {
  return XMLNamespaceHelper().FindChildElement(parent, localName);
}

}  // namespace

void CProjectSourceXMLWriter::ForgetEnvironmentFlags() {
  UnsortedFlag().reset();
  NoDirtyCheckFlag().reset();
}

CProjectSourceXMLWriter::CProjectSourceXMLWriter(const String& fileName, IProject* project)
    : m_fileName(fileName), m_project(project), m_projectDirectory(fileName, true) {
  if (!Xml::StartPlatform()) return;
  X::DOMImplementation* implementation = X::DOMImplementationRegistry::getDOMImplementation(u"LS");
  if (implementation == nullptr) return;
  m_ownDocument.reset(implementation->createDocument(N::kNamespaceUriW, N::kProjectW, nullptr));
  m_document = m_ownDocument.get();
  m_root = m_document->getDocumentElement();
  m_root->setAttributeNS(kXmlnsUri, kXmlns, N::kNamespaceUriW);
  m_root->setAttributeNS(kXmlnsUri, kXmlnsPrefixed, N::kNamespaceUriW);
}

CProjectSourceXMLWriter::~CProjectSourceXMLWriter() = default;

Status CProjectSourceXMLWriter::SetFileMap(CitI::IInterface* fileMap) {
  m_fileMap = fileMap;
  if (fileMap != nullptr && !m_fileMap) {
    Port_MsgManData::debugStub("ERROR: CProjectSourceXMLWriter::SetFileMap - the object given is no file map.\n");
    return kMissingInterface;
  }
  return kSuccess;
}

// --- Building the document -----------------------------------------------------------------

X::DOMElement* CProjectSourceXMLWriter::NewElement(const XMLCh* localName) const {
  return m_ownDocument->createElementNS(N::kNamespaceUriW, localName);
}

void CProjectSourceXMLWriter::SetAttribute(X::DOMElement* element, const XMLCh* localName, const String& value) const {
  std::u16string qualified = N::kAttributePrefixW;
  qualified += u':';
  qualified += localName;
  element->setAttributeNS(N::kNamespaceUriW, qualified.c_str(), Xml::XmlText(value.str()).get());
}

void CProjectSourceXMLWriter::AppendComments(X::DOMElement* section, const char* const* lines, std::size_t count,
                                             std::size_t width) const {
  for (std::size_t i = 0; i < count; ++i) {
    section->appendChild(m_ownDocument->createComment(Xml::XmlText(N::PaddedComment(lines[i], width)).get()));
  }
}

X::DOMElement* CProjectSourceXMLWriter::NewVersion() const {
  X::DOMElement* version = NewElement(N::kVersionW);
  SetAttribute(version, N::kSchemaVersionAttrW, N::kSchemaVersion);
  SetAttribute(version, N::kHlcVersionW, Port::Version::getValue("version"));
  return version;
}

void CProjectSourceXMLWriter::BuildSkeleton() {
  m_root->setAttributeNS(kXmlnsUri, kXmlns, N::kNamespaceUriW);
  m_root->setAttributeNS(kXmlnsUri, kXmlnsPrefixed, N::kNamespaceUriW);
  m_sections[kHeader] = static_cast<X::DOMElement*>(m_root->appendChild(NewElement(N::kHeaderW)));
  m_sections[kVersion] = static_cast<X::DOMElement*>(m_root->appendChild(NewVersion()));
  for (int section = kFiles; section < kSectionCount; ++section) {
    X::DOMElement* element = FirstChildNamed(m_root, kSectionNames[section]);
    if (element == nullptr)
      element = static_cast<X::DOMElement*>(m_root->appendChild(NewElement(kSectionNames[section])));
    m_sections[section] = element;
  }
}

void CProjectSourceXMLWriter::CreateSections() {
  m_sections[kHeader] = NewElement(N::kHeaderW);
  m_sections[kVersion] = NewVersion();
  for (int section = kFiles; section < kSectionCount; ++section)
    m_sections[section] = NewElement(kSectionNames[section]);
}

void CProjectSourceXMLWriter::AttachSections() {
  X::DOMElement* project = m_root;
  if (!m_ownsDocument && !X::XMLString::equals(m_root->getLocalName(), N::kProjectW)) {
    X::DOMNodeList* found = m_root->getElementsByTagNameNS(N::kNamespaceUriW, N::kProjectW);
    const XMLSize_t count = found != nullptr ? found->getLength() : 0;
    if (count > 1) {
      Port_MsgManData::createObject("ProjectMgmt", "../src/CProjectSourceXMLWriter", 0, "$Revision: 1.53.24.1 $")
          .issueWarning("Multiple <project> declarations unexpected in %s", m_fileName.c_str());
    }
    if (count > 0) {
      project = static_cast<X::DOMElement*>(found->item(0));
    } else {
      project = static_cast<X::DOMElement*>(
          m_root->appendChild(m_document->createElementNS(N::kNamespaceUriW, N::kProjectW)));
      project->setAttributeNS(kXmlnsUri, kXmlns, N::kNamespaceUriW);
    }
  }
  for (int section = kHeader; section < kSectionCount; ++section) {
    X::DOMElement* fresh = m_sections[section];
    // A section found equal to the file's is left as it is: the same bytes, and no nodes made
    // and dropped in the adopted document.
    if (!m_differs[section]) continue;
    if (fresh->getOwnerDocument() != m_document)
      fresh = static_cast<X::DOMElement*>(m_document->importNode(fresh, true));
    X::DOMElement* old = FirstChildNamed(project, kSectionNames[section]);
    if (old == fresh) continue;
    if (old != nullptr) {
      // Not released: the document would keep the old nodes' buffers in a list for reuse that
      // every later node made in it searches from the end, so each save after a large change
      // grew slower. The document frees them when it goes, with the reader.
      project->replaceChild(fresh, old);
    } else if (section == kHeader) {
      project->insertBefore(fresh, project->getFirstChild());
    } else {
      project->appendChild(fresh);
    }
  }
}

void CProjectSourceXMLWriter::PushHeader() {
  if (!m_project) {
    Port_MsgManData::debugStub("Error: CProjectSourceXMLWriter::PushHeader - Project not defined.\n");
    return;
  }
  AppendComments(m_sections[kHeader], N::kHeaderComments, std::size(N::kHeaderComments), N::kHeaderWidth);
}

void CProjectSourceXMLWriter::RemoveRootTextNodes() {
  std::vector<X::DOMNode*> texts;
  for (X::DOMNode* child = m_root->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
    if (child->getNodeType() == X::DOMNode::TEXT_NODE) texts.push_back(child);
  }
  for (X::DOMNode* text : texts) m_root->removeChild(text);
}

// --- Files ------------------------------------------------------------------------------------

Status CProjectSourceXMLWriter::CollectFiles(std::uint32_t originState, const char* step, std::vector<Entry>& entries) {
  const auto fail = [step](const char* what) {
    Port_MsgManData::debugStub(Text().Format("Error: CProjectSourceXMLWriter::%s - %s\n", step, what).c_str());
    return kFailure;
  };
  if (!m_project) return fail("Project not defined.");
  AutoCast<IFileManager> manager(m_project.Get());
  if (!manager) return fail("Unable find obtain the FileManager.");
  AutoRelease<IHdlFileIterator> files;
  if (manager->GetProjectFiles(files.Receive()) != kSuccess || !files)
    return fail("Unable find obtain a list of files in the FileManager.");
  // As the file's originator search finds the project, by its path, worked out once for all files.
  const String ownPath = GetObjectFullPath(m_project.Get());
  const auto originatesHere = [&ownPath](IOriginatorRef* originators) {
    AutoRelease<Prjrep::IAutonymIterator> at;
    if (originators->GetOriginatorIterator(at.Receive()) != kSuccess || !at || at->IsDone()) return false;
    if (ownPath.empty()) return true;
    for (; !at->IsDone(); std::ignore = at->Next()) {
      if (GetObjectFullPath(at->Current()) == ownPath) return true;
    }
    return false;
  };
  for (; !files->IsDone(); std::ignore = files->Next()) {
    AutoCast<IFile> file(files->Current());
    std::uint32_t state = 0;
    if (!file || file->GetOriginState(&state) != kSuccess) continue;
    // A managed file the user added is among the user's files too, so that any reader of the
    // file brings it back as the user's: the views manage it again while a source includes it.
    // So is a user's header off the disk that was recorded as one, which no source is seen to
    // include meanwhile: it is written as it was read until it is back.
    const bool included = UserAddedManagedFile(file.Get()) || IncludedTypeWhileGone(file.Get()) != nullptr;
    if (state != originState && !(included && (originState == 0 || originState == 3))) continue;
    const bool projectFile = IsProjectFileType(file.Get());
    // A file is this project's own only when the project is one of its originators: a child
    // project's file, listed here, would be read back as the parent's and outlive the child.
    if (AutoCast<IOriginatorRef> originators(file.Get()); originators && !projectFile) {
      if (!originatesHere(originators.Get())) continue;
    }
    std::uint64_t sequence = 0;
    if (AutoCast<ICompileOrder> order(file.Get()); order) std::ignore = order->GetSequenceID(0, &sequence);
    entries.push_back({file.Get(), sequence, projectFile});
  }
  // Equal ids keep the file manager's order, which at least holds from one save to the next.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.sequence < b.sequence; });
  return kSuccess;
}

Status CProjectSourceXMLWriter::PushFiles() {
  std::vector<Entry> entries;
  if (Status status = CollectFiles(0, "PushFiles", entries); status != kSuccess) return status;
  const String manual = PropertyAccessor(m_project.Get()).GetPropertyValue("PROP_AutoCompileOrderImp");
  m_manualOrder = boost::algorithm::iequals(manual.str(), "false");
  std::vector<FileRecord> records;
  records.reserve(entries.size());
  // Child projects' files after every other; bindings are listed for the files written, in
  // the same order.
  for (const bool projectFiles : {false, true}) {
    for (const Entry& entry : entries) {
      if (entry.projectFile != projectFiles) continue;
      records.push_back(DescribeFile(entry.file));
      PushBindings(entry.file, records.back().name);
    }
  }
  // A large project's files section is most often what the file holds already: compared as it
  // is described, it needs no elements built.
  m_filesEqual.reset();
  if (X::DOMElement* old = ComparedSection(kFiles); old != nullptr) {
    m_filesEqual = m_kept != nullptr ? SameFiles(*m_kept, records) : SameFiles(old, records);
  }
  // Saving through a snapshot, the records may build the entries again, or say what was written.
  // Into a file of its own (a new file, a copy), the entries are laid out as text: the elements
  // would be made only to be written the same way.
  if (!m_filesEqual.value_or(false)) {
    X::DOMElement* files = m_sections[kFiles];
    if (m_kept == nullptr && m_ownsDocument && !records.empty() && files != nullptr && !files->hasChildNodes() &&
        !HasOtherEncoding(m_document)) {
      m_filesAt = files;
      m_filesText = EntriesText(records);
    } else {
      for (const FileRecord& record : records) PushFile(record);
    }
  }
  if (m_kept != nullptr) m_keptRecords = std::move(records);
  return kSuccess;
}

namespace {

// An entry's attribute of that local name: in the project namespace, else by its prefixed name.
const X::DOMNode* FoundAttribute(const X::DOMNamedNodeMap* map, const XMLCh* localName) {
  const X::DOMNode* found = map->getNamedItemNS(N::kNamespaceUriW, localName);
  if (found == nullptr) {
    std::u16string qualified = N::kAttributePrefixW;
    qualified += u':';
    qualified += localName;
    found = map->getNamedItem(qualified.c_str());
  }
  return found;
}

// Whether `node` is an element of that name, as the section comparison reads names, with
// exactly the attributes given (local name in the project namespace, value) and nothing inside
// but whitespace.
bool SameEntry(const X::DOMNode* node, const XMLCh* name,
               std::initializer_list<std::pair<const XMLCh*, const Text*>> attributes) {
  if (node == nullptr || node->getNodeType() != X::DOMNode::ELEMENT_NODE ||
      !X::XMLString::equals(node->getNodeName(), name))
    return false;
  const X::DOMNamedNodeMap* map = node->getAttributes();
  std::size_t expected = 0;
  for (const auto& attribute : attributes) expected += attribute.second != nullptr ? 1 : 0;
  if (map == nullptr || map->getLength() != expected) return false;
  for (const auto& [localName, value] : attributes) {
    if (value == nullptr) continue;
    const X::DOMNode* found = FoundAttribute(map, localName);
    if (found == nullptr) return false;
    const XMLCh* held = found->getNodeValue();
    if (!X::XMLString::equals(held != nullptr ? held : u"", Xml::XmlText(value->str()).get())) return false;
  }
  return true;
}

// Walks the children of a node that are not whitespace, as the section comparison does.
class ContentChildren {
 public:
  explicit ContentChildren(const X::DOMNode* parent) : m_next(parent->getFirstChild()) {}
  const X::DOMNode* Next() {
    while (m_next != nullptr && XMLDifferencer::IsWhitespaceNode(m_next)) m_next = m_next->getNextSibling();
    const X::DOMNode* found = m_next;
    if (found != nullptr) m_next = found->getNextSibling();
    return found;
  }

 private:
  const X::DOMNode* m_next;
};

// The compact text of a files section: for each entry a kind mark, then its attribute values,
// each after its own mark and ended by a NUL, which no XML text holds: "F" name "T" type, then "A"
// name ["S" id] ["I" id] for each association, and "L" name for the library. The text is
// read back only by comparing it with the same text made from records.
constexpr char kFileMark = CProjectSourceXMLWriter::EntryMark::kFile;
constexpr char kTypeMark = CProjectSourceXMLWriter::EntryMark::kType;
constexpr char kAssociationMark = CProjectSourceXMLWriter::EntryMark::kAssociation;
constexpr char kSequenceMark = CProjectSourceXMLWriter::EntryMark::kSequence;
constexpr char kIncludeMark = CProjectSourceXMLWriter::EntryMark::kInclude;
constexpr char kLibraryMark = CProjectSourceXMLWriter::EntryMark::kLibrary;

// Appends the element's attributes as marked values when `node` is an element of that name
// holding exactly the required attributes and any of the optional ones (each a local name and
// its mark), and nothing but whitespace inside unless `content` allows it. `canonical` is
// cleared unless the attributes stand in that order under the prefixed names a save writes.
bool EncodeEntry(const X::DOMNode* node, const XMLCh* name, std::initializer_list<std::pair<const XMLCh*, char>> required,
                 std::initializer_list<std::pair<const XMLCh*, char>> optional, bool content, std::string& out,
                 bool& canonical) {
  if (node == nullptr || node->getNodeType() != X::DOMNode::ELEMENT_NODE ||
      !X::XMLString::equals(node->getNodeName(), name))
    return false;
  const X::DOMNamedNodeMap* map = node->getAttributes();
  if (map == nullptr) return false;
  const std::size_t start = out.size();
  const auto refuse = [&] {
    out.resize(start);
    return false;
  };
  std::size_t found = 0;
  const auto append = [&](const XMLCh* localName, char mark, bool must) {
    const X::DOMNode* attribute = FoundAttribute(map, localName);
    if (attribute == nullptr) return !must;
    if (canonical) {
      std::u16string qualified = N::kAttributePrefixW;
      qualified += u':';
      qualified += localName;
      canonical = map->item(found) == attribute && X::XMLString::equals(attribute->getNodeName(), qualified.c_str());
    }
    ++found;
    out += mark;
    if (const XMLCh* value = attribute->getNodeValue(); value != nullptr) out += Xml::Utf8Text(value).str();
    out += '\0';
    return true;
  };
  for (const auto& [localName, mark] : required) {
    if (!append(localName, mark, true)) return refuse();
  }
  for (const auto& [localName, mark] : optional) append(localName, mark, false);
  if (found != map->getLength() || (!content && ContentChildren(node).Next() != nullptr)) return refuse();
  return true;
}

// A record's value as the document gives it back once written: UTF-8 read as the writer reads
// it, so that a value of bytes that are not UTF-8 compares as it would in the document.
std::string_view AsWritten(const Text& value, std::string& room) {
  const std::string& text = value.str();
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return text;
  room = Xml::Utf8Text(Xml::XmlText(text).get()).str();
  return room;
}

// Walks a compact text alongside the records it is compared with.
class EntryReader {
 public:
  explicit EntryReader(const std::string& text) : m_text(text) {}
  bool Next(char mark, const Text& value) {
    if (m_at >= m_text.size() || m_text[m_at] != mark) return false;
    const std::string_view expected = AsWritten(value, m_room);
    const std::size_t end = m_text.find('\0', m_at + 1);
    if (end == std::string::npos || std::string_view(m_text).substr(m_at + 1, end - m_at - 1) != expected) return false;
    m_at = end + 1;
    return true;
  }
  bool AtEnd() const { return m_at == m_text.size(); }

 private:
  const std::string& m_text;
  std::string m_room;
  std::size_t m_at = 0;
};

}  // namespace

X::DOMElement* CProjectSourceXMLWriter::FilesSectionOf(X::DOMElement* root) {
  return root != nullptr ? FirstChildNamed(root, N::kFilesW) : nullptr;
}

bool CProjectSourceXMLWriter::EncodeFileEntries(X::DOMElement* files, std::string& entries, bool& canonical) {
  entries.clear();
  canonical = true;
  files->normalize();
  if (!X::XMLString::equals(files->getNodeName(), N::kFilesW)) return false;
  ContentChildren children(files);
  for (const X::DOMNode* file = children.Next(); file != nullptr; file = children.Next()) {
    if (!EncodeEntry(file, N::kFileW, {{N::kNameW, kFileMark}, {N::kTypeW, kTypeMark}}, {}, true, entries, canonical))
      return false;
    ContentChildren inside(file);
    for (const X::DOMNode* element = inside.Next(); element != nullptr; element = inside.Next()) {
      const bool association =
          EncodeEntry(element, N::kAssociationW, {{N::kNameW, kAssociationMark}},
                      {{N::kSeqIdW, kSequenceMark}, {N::kSeqIdIncW, kIncludeMark}}, false, entries, canonical);
      if (!association &&
          !EncodeEntry(element, N::kLibraryW, {{N::kNameW, kLibraryMark}}, {}, false, entries, canonical))
        return false;
    }
  }
  return true;
}

std::string CProjectSourceXMLWriter::EntriesText(const std::vector<FileRecord>& records) {
  // As the layout writes the elements BuildFile makes, under the files section.
  static const std::string prefix = " " + Xml::Utf8Text(N::kAttributePrefixW).str() + ":";
  static const std::string name = prefix + Xml::Utf8Text(N::kNameW).str() + "=\"";
  static const std::string type = prefix + Xml::Utf8Text(N::kTypeW).str() + "=\"";
  static const std::string sequence = prefix + Xml::Utf8Text(N::kSeqIdW).str() + "=\"";
  static const std::string include = prefix + Xml::Utf8Text(N::kSeqIdIncW).str() + "=\"";
  static const std::string file = Xml::Utf8Text(N::kFileW).str();
  static const std::string association = Xml::Utf8Text(N::kAssociationW).str();
  static const std::string library = Xml::Utf8Text(N::kLibraryW).str();
  // Room for the text as it comes out unescaped: a large project's section, grown by doubling,
  // would be copied over and over into memory touched for the first time.
  std::size_t room = 0;
  for (const FileRecord& record : records) {
    room += 2 * file.size() + name.size() + type.size() + record.name.size() + record.type.size() + 24;
    for (const FileRecord::Association& written : record.associations)
      room += association.size() + name.size() + sequence.size() + include.size() + written.name.size() +
              written.sequence.size() + written.includeSequence.size() + 16;
    if (!record.library.empty()) room += library.size() + name.size() + record.library.size() + 16;
  }
  std::string out;
  out.reserve(room);
  const auto attribute = [&](const std::string& start, const Text& value) {
    out += start;
    AppendAttributeText(out, value.str());
    out += '"';
  };
  for (const FileRecord& record : records) {
    out += "    <" + file;
    attribute(name, record.name);
    attribute(type, record.type);
    if (record.associations.empty() && record.library.empty()) {
      out += "/>\n";
      continue;
    }
    out += ">\n";
    for (const FileRecord::Association& written : record.associations) {
      out += "      <" + association;
      attribute(name, written.name);
      if (!written.sequence.empty()) attribute(sequence, written.sequence);
      if (!written.includeSequence.empty()) attribute(include, written.includeSequence);
      out += "/>\n";
    }
    if (!record.library.empty()) {
      out += "      <" + library;
      attribute(name, record.library);
      out += "/>\n";
    }
    out += "    </" + file + ">\n";
  }
  return out;
}

std::string CProjectSourceXMLWriter::EncodeRecords(const std::vector<FileRecord>& records) {
  std::string entries;
  std::string room;
  const auto append = [&](char mark, const Text& value) {
    entries += mark;
    entries += AsWritten(value, room);
    entries += '\0';
  };
  for (const FileRecord& record : records) {
    append(kFileMark, record.name);
    append(kTypeMark, record.type);
    for (const FileRecord::Association& association : record.associations) {
      append(kAssociationMark, association.name);
      if (!association.sequence.empty()) append(kSequenceMark, association.sequence);
      if (!association.includeSequence.empty()) append(kIncludeMark, association.includeSequence);
    }
    if (!record.library.empty()) append(kLibraryMark, record.library);
  }
  return entries;
}

bool CProjectSourceXMLWriter::SameFiles(const XhlcSnapshot& kept, const std::vector<FileRecord>& records) {
  if (!kept.EntriesComparable()) return false;
  EntryReader entries(kept.Entries());
  for (const FileRecord& record : records) {
    if (!entries.Next(kFileMark, record.name) || !entries.Next(kTypeMark, record.type)) return false;
    for (const FileRecord::Association& association : record.associations) {
      if (!entries.Next(kAssociationMark, association.name)) return false;
      if (!association.sequence.empty() && !entries.Next(kSequenceMark, association.sequence)) return false;
      if (!association.includeSequence.empty() && !entries.Next(kIncludeMark, association.includeSequence))
        return false;
    }
    if (!record.library.empty() && !entries.Next(kLibraryMark, record.library)) return false;
  }
  return entries.AtEnd();
}

bool CProjectSourceXMLWriter::SameFiles(X::DOMElement* old, const std::vector<FileRecord>& records) {
  // The comparison it stands for normalizes the section first; so does this one.
  old->normalize();
  if (!X::XMLString::equals(old->getNodeName(), N::kFilesW)) return false;
  ContentChildren files(old);
  for (const FileRecord& record : records) {
    const X::DOMNode* file = files.Next();
    if (!SameEntry(file, N::kFileW, {{N::kNameW, &record.name}, {N::kTypeW, &record.type}})) return false;
    ContentChildren inside(file);
    for (const FileRecord::Association& association : record.associations) {
      const X::DOMNode* element = inside.Next();
      if (!SameEntry(element, N::kAssociationW,
                     {{N::kNameW, &association.name},
                      {N::kSeqIdW, association.sequence.empty() ? nullptr : &association.sequence},
                      {N::kSeqIdIncW, association.includeSequence.empty() ? nullptr : &association.includeSequence}}) ||
          ContentChildren(element).Next() != nullptr)
        return false;
    }
    if (!record.library.empty()) {
      const X::DOMNode* element = inside.Next();
      if (!SameEntry(element, N::kLibraryW, {{N::kNameW, &record.library}}) ||
          ContentChildren(element).Next() != nullptr)
        return false;
    }
    if (inside.Next() != nullptr) return false;
  }
  return files.Next() == nullptr;
}

X::DOMElement* CProjectSourceXMLWriter::NewFileElement(IFile* file, String* name) {
  X::DOMElement* element = NewElement(N::kFileW);
  GetFileValue(file, name);
  SetAttribute(element, N::kNameW, *name);
  SetAttribute(element, N::kTypeW, WrittenTypeName(file));
  return element;
}

CProjectSourceXMLWriter::FileRecord CProjectSourceXMLWriter::DescribeFile(IFile* file) {
  FileRecord record;
  GetFileValue(file, &record.name);
  record.type = WrittenTypeName(file);
  DescribeAssociations(file, record.associations);
  record.library = FileLibraryName(file);
  return record;
}

void CProjectSourceXMLWriter::PushFile(const FileRecord& record) {
  m_sections[kFiles]->appendChild(BuildFile(m_ownDocument.get(), record));
}

X::DOMElement* CProjectSourceXMLWriter::BuildFile(X::DOMDocument* document, const FileRecord& record) const {
  const auto element = [document](const XMLCh* localName) {
    return document->createElementNS(N::kNamespaceUriW, localName);
  };
  X::DOMElement* file = element(N::kFileW);
  SetAttribute(file, N::kNameW, record.name);
  SetAttribute(file, N::kTypeW, record.type);
  for (const FileRecord::Association& written : record.associations) {
    X::DOMElement* association = element(N::kAssociationW);
    SetAttribute(association, N::kNameW, written.name);
    if (!written.sequence.empty()) SetAttribute(association, N::kSeqIdW, written.sequence);
    if (!written.includeSequence.empty()) SetAttribute(association, N::kSeqIdIncW, written.includeSequence);
    file->appendChild(association);
  }
  if (!record.library.empty()) {
    X::DOMElement* library = element(N::kLibraryW);
    SetAttribute(library, N::kNameW, record.library);
    file->appendChild(library);
  }
  return file;
}

CProjectSourceXMLWriter::String CProjectSourceXMLWriter::GetFileTypeName(IFile* file) {
  AutoRelease<IFileType> type;
  if (file == nullptr || file->GetFileType(type.Receive()) != kSuccess || !type) return String();
  // A project has few file types and many files.
  auto known = m_typeNames.find(type.Get());
  if (known == m_typeNames.end()) known = m_typeNames.emplace(type.Get(), GetDefDataIdName(type.Get())).first;
  return known->second;
}

CProjectSourceXMLWriter::String CProjectSourceXMLWriter::WrittenTypeName(IFile* file) {
  if (const String* kept = IncludedTypeWhileGone(file); kept != nullptr) return *kept;
  return GetFileTypeName(file);
}

const XmlNames::Branch* CProjectSourceXMLWriter::ViewBranch(IView* view) {
  // A view's branch words do not change while a file is written; every file asks again.
  const auto known = m_viewBranches.find(view);
  if (known != m_viewBranches.end()) return known->second;
  const N::Branch* found = BranchOf(GetKeyedPropertyValue(view, "BRANCH"), GetKeyedPropertyValue(view, "SUBBRANCH"));
  m_viewBranches.emplace(view, found);
  return found;
}

// Only an abstract view stands for a branch of the table.
const XmlNames::Branch* CProjectSourceXMLWriter::BranchOf(const String& branch, const String& subBranch) {
  if (!boost::algorithm::iequals(subBranch.str(), "Abstract")) return nullptr;
  for (const N::Branch& row : N::kBranches) {
    if (boost::algorithm::iequals(branch.str(), row.name)) return &row;
  }
  return nullptr;
}

void CProjectSourceXMLWriter::DescribeAssociations(IFile* file, std::vector<FileRecord::Association>& associations) {
  std::map<String, int> branches;
  // A source off the disk has left its views only until it is back: it is written with the views
  // it was in when it went, so that a later open places it in them again.
  const std::vector<ViewBranchWords>* left = IsOffTheDisk(file) ? ViewsWhenGone(file) : nullptr;
  AutoCast<IDesignUnit> unit(file);
  AutoRelease<IViewIterator> views;
  if (left != nullptr) {
    for (const ViewBranchWords& words : *left) {
      if (const N::Branch* branch = BranchOf(words.branch, words.subBranch); branch != nullptr)
        branches.emplace(branch->name, branch->kind);
    }
  } else if (unit && unit->GetViews(views.Receive()) == kSuccess && views) {
    for (; !views->IsDone(); std::ignore = views->Next()) {
      if (const N::Branch* branch = ViewBranch(views->Current()); branch != nullptr)
        branches.emplace(branch->name, branch->kind);
    }
  }
  AutoCast<ICompileOrder> order(file);
  bool globalInclude = false;
  if (AutoCast<IHdlFileV3> include(file); include) std::ignore = include->GetGlobalInclude(&globalInclude);
  for (const auto& [branch, kind] : branches) {
    FileRecord::Association& association = associations.emplace_back();
    association.name = branch;
    // Ids are written whole: they come from a counter that is never renumbered, and a cut
    // id would reorder the files when the project is read again.
    std::uint64_t id = 0;
    if (order && kind != 0 && m_manualOrder && order->GetSequenceID(static_cast<std::uint32_t>(kind), &id) == kSuccess)
      association.sequence = std::to_string(id);
    if (order && globalInclude && order->GetSequenceID(0, &id) == kSuccess)
      association.includeSequence = std::to_string(id);
  }
}

CProjectSourceXMLWriter::String CProjectSourceXMLWriter::FileLibraryName(IFile* file) {
  AutoCast<ISourceLibraryMember> member(file);
  AutoRelease<ISourceLibrary> library;
  if (!member || member->GetLibrary(library.Receive()) != kSuccess || !library) return String();
  AutoCast<Prjrep::IName> named(library.Get());
  String name;
  if (!named || named->GetName(name) != kSuccess) return String();
  // The same exact test as the reader's, so that a library "Work" comes back as itself.
  if (name.empty() || IsSystemLibraryName(name)) return String();
  return name;
}

void CProjectSourceXMLWriter::PushBindings(IFile* file, const String& name) {
  AutoCast<IDesignGraphLocatorSet> locators(file);
  AutoRelease<Prjrep::IStringIterator> at;
  if (!locators || locators->Size() == 0 || locators->GetIterator(at.Receive()) != kSuccess || !at) return;
  for (; !at->IsDone(); std::ignore = at->Next()) {
    X::DOMElement* binding = NewElement(N::kBindingW);
    SetAttribute(binding, N::kNameW, name);
    SetAttribute(binding, N::kLocationW, at->Current());
    m_sections[kBindings]->appendChild(binding);
  }
}

Status CProjectSourceXMLWriter::PushAutoManagedFiles() {
  std::vector<Entry> entries;
  if (Status status = CollectFiles(3, "PushAutoManagedFiles", entries); status != kSuccess) return status;
  AppendComments(m_sections[kAutoManaged], N::kAutoManagedComments, std::size(N::kAutoManagedComments),
                 N::kAutoManagedWidth);
  // The headers come in the order the scans reached them, which an include folder set after the
  // open changes: those the file lists keep its order, the others follow by name, so the same
  // headers are written the same way however they were found.
  std::unordered_map<std::u16string, std::size_t> listed;
  if (X::DOMElement* old = m_ownsDocument ? nullptr : FirstChildNamed(m_root, N::kAutoManagedFilesW); old != nullptr) {
    ContentChildren children(old);
    for (const X::DOMNode* child = children.Next(); child != nullptr; child = children.Next()) {
      const X::DOMNamedNodeMap* map =
          child->getNodeType() == X::DOMNode::ELEMENT_NODE ? child->getAttributes() : nullptr;
      const X::DOMNode* name = map != nullptr ? FoundAttribute(map, N::kNameW) : nullptr;
      if (name != nullptr && name->getNodeValue() != nullptr) listed.try_emplace(name->getNodeValue(), listed.size());
    }
  }
  struct Written {
    std::size_t place;  // in the file's list; past its end when not there
    String name;
    X::DOMElement* element;
  };
  std::vector<Written> written;
  written.reserve(entries.size());
  for (const Entry& entry : entries) {
    Written each{listed.size(), {}, nullptr};
    each.element = NewFileElement(entry.file, &each.name);
    if (const auto found = listed.find(Xml::XmlText(each.name.str()).get()); found != listed.end())
      each.place = found->second;
    written.push_back(std::move(each));
  }
  std::stable_sort(written.begin(), written.end(), [](const Written& a, const Written& b) {
    return a.place != b.place ? a.place < b.place : a.name.str() < b.name.str();
  });
  for (const Written& each : written) m_sections[kAutoManaged]->appendChild(each.element);
  return kSuccess;
}

void CProjectSourceXMLWriter::GetFileValue(CitI::IInterface* object, String* out) {
  out->str().clear();
  if (AutoCast<IFile> file(object); file) {
    AutoCast<Prjrep::IFileNameHelper> names(object);
    String name;
    if (!names || names->GetFullName(&name) != kSuccess || name.empty()) return;
    if (m_fileMap) {
      Text mapped;
      if (m_fileMap->MapFileName(name, &mapped, false) == kSuccess && !mapped.empty()) name = mapped;
    }
    // The same as NormalizeFileName, with the written form of each directory worked out once:
    // a project keeps many files in few directories, and lists them directory by directory.
    const Text slashed = MakeSlashPath(name);
    const std::string& text = slashed.str();
    const std::size_t slash = text.find_last_of('/');
    const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    if (m_lastForm == nullptr || std::string_view(m_lastForm->first.str()) != std::string_view(text).substr(0, leaf)) {
      const Text head(text.substr(0, leaf));
      auto known = m_directoryForms.find(head);
      if (known == m_directoryForms.end()) {
        Text prefix;
        RelativeName(m_projectDirectory, head, Text(), prefix);
        known = m_directoryForms.emplace(head, prefix).first;
      }
      m_lastForm = &*known;
    }
    std::string written;
    written.reserve(m_lastForm->second.size() + text.size() - leaf);
    written.append(m_lastForm->second.str()).append(text, leaf, std::string::npos);
    *out = Text(std::move(written));
    return;
  }
  AutoCast<IPropertyInstance> property(object);
  if (!AutoCast<IFilePropertyInstance>(object) || !property) return;
  String propertyName;
  String value;
  std::ignore = property->GetName(&propertyName);
  std::ignore = property->GetValue(&value);
  if (value.empty()) return;
  if (IsKeptValue(value)) {
    *out = value;
    return;
  }
  SplitPath base = m_projectDirectory;
  String workingDirectory;
  if (m_fileMap) {
    // A copy's working directory is the one it is written with, taken from the copy's own
    // directory, not the project's.
    workingDirectory = PropertyAccessor(m_project.Get()).GetPropertyValue("PROP_WorkingDirectory");
    if (!workingDirectory.empty() && workingDirectory != "." && propertyName != "PROP_WorkingDirectory") {
      if (!IsAbsolutePath(workingDirectory))
        workingDirectory = Port::FileName(m_fileName).GetHead() + workingDirectory;
      SplitPathComponents(Port::FileName(workingDirectory).MakeCanonical().GetPath(), base.components);
    }
  } else if (AutoCast<IProject2> project(m_project.Get());
             project && project->GetWorkingDirectory(&workingDirectory) == kSuccess && !workingDirectory.empty() &&
             propertyName != "PROP_WorkingDirectory") {
    SplitPathComponents(workingDirectory, base.components);
  }
  const auto mapped = [&](const String& path) {
    String copied;
    if (!m_fileMap || m_fileMap->MapFileName(path, &copied, false) != kSuccess || copied.empty()) return path;
    return copied;
  };
  const auto written = [&](const String& path) {
    if (!IsAbsolutePath(path)) return path;
    String relative;
    NormalizeFileName(base, path, relative);
    return relative;
  };
  if (IsSingleFileProperty(object)) {
    *out = written(mapped(value));
    return;
  }
  for (const String& element : value.Split("|")) {
    if (element.empty()) continue;
    if (!out->empty()) *out += "|";
    *out += IsAbsolutePath(element) ? written(mapped(element)) : element;
  }
}

// --- Properties ---------------------------------------------------------------------------

void CProjectSourceXMLWriter::CollectPlatformProperties(IProject* project, std::set<CitI::IInterface*>& identities) {
  IDesign* design = DesignOf(project);
  AutoRelease<IDesignPlatform> platform;
  AutoRelease<IPropertyInstanceIterator> instances;
  if (design == nullptr || design->GetDesignPlatform(platform.Receive()) != kSuccess || !platform ||
      platform->GetProperties(instances.Receive()) != kSuccess || !instances)
    return;
  for (; !instances->IsDone(); std::ignore = instances->Next())
    identities.insert(AutoCast<CitI::IInterface>(instances->Current()).Get());
}

void CProjectSourceXMLWriter::PushProperties() {
  X::DOMElement* section = m_sections[kProperties];
  const bool unsorted = ReadOnce(UnsortedFlag(), "VEL_CORVANE_XHLC_UNSORTED");
  if (unsorted) AppendComments(section, N::kUnsortedComments, std::size(N::kUnsortedComments), N::kUnsortedWidth);
  std::map<String, IPropertyInstance*> sorted;
  std::vector<AutoPtr<IPropertyInstance>> instances;
  if (m_project) {
    PropertyAccessor accessor(m_project.Get());
    const bool writeDefaults =
        boost::algorithm::iequals(accessor.GetPropertyValue("PROP_WriteDefaultPropToSourceProject").str(), "true");
    accessor.GetAllPropertyInstances(instances);
    std::set<CitI::IInterface*> platform;
    CollectPlatformProperties(m_project.Get(), platform);
    for (const AutoPtr<IPropertyInstance>& instance : instances) {
      if (!instance) continue;
      String name;
      std::ignore = instance->GetName(&name);
      bool isDefault = false;
      std::ignore = instance->IsDefault(&isDefault);
      if (isDefault && AutoCast<IFilePropertyInstance>(instance.Get())) continue;
      bool locked = false;
      if (AutoCast<ILockable> lock(instance.Get()); lock) std::ignore = lock->IsLocked(&locked);
      if (IsExcluded(name)) continue;
      if (!writeDefaults && isDefault && !platform.count(AutoCast<CitI::IInterface>(instance.Get()).Get()) && !locked &&
          name != "PROP_PropSpecInProjFile")
        continue;
      if (unsorted) {
        PushProperty(instance.Get());
        continue;
      }
      String key;
      if (AutoRelease<IPropertyTemplate> definition; instance->GetTemplate(definition.Receive()) == kSuccess) {
        if (AutoCast<IPropertyTemplate2> second(definition.Get()); second) std::ignore = second->GetSecondName(&key);
      }
      sorted[key.empty() ? name : key] = instance.Get();
    }
  }
  if (unsorted) return;
  const auto internal = [](const String& key) { return key.str().rfind("PROP_", 0) == 0; };
  for (const auto& [key, instance] : sorted) {
    if (!internal(key)) PushProperty(instance);
  }
  AppendComments(section, N::kInternalUseComments, std::size(N::kInternalUseComments), N::kInternalUseWidth);
  for (const auto& [key, instance] : sorted) {
    if (internal(key)) PushProperty(instance);
  }
}

Text WrittenWorkingDirectory(const Text& value, const Text& fileName) {
  if (std::getenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR") != nullptr || value == ".") return value;
  if (value.empty()) return Text(".");
  const Text trimmed = SlashTrimmed(value);
  if (!IsAbsolutePath(trimmed) || trimmed.str().front() != '/') return trimmed;
  const Text own = SlashTrimmed(Port::FileName(trimmed).GetAbsolutePath());
  const Text directory = SlashTrimmed(Port::FileName(Port::FileName(fileName).GetHead()).GetAbsolutePath());
  if (own == directory) return Text(".");
  Text relative;
  NormalizeFileName(SplitPath(fileName, true), trimmed, relative);
  return relative;
}

Text CopysWorkingDirectory(const Text& workingDirectory, const Text& fileName) {
  return IsAbsolutePath(workingDirectory) ? WrittenWorkingDirectory(workingDirectory, fileName) : workingDirectory;
}

void CProjectSourceXMLWriter::PushProperty(IPropertyInstance* instance) {
  String name;
  String value;
  std::ignore = instance->GetName(&name);
  std::ignore = instance->GetValue(&value);
  String label;
  if (AutoRelease<IPropertyTemplate> definition; instance->GetTemplate(definition.Receive()) == kSuccess) {
    if (AutoCast<IPropertyTemplate2> second(definition.Get()); second) std::ignore = second->GetSecondName(&label);
  }
  if (!label.empty()) name = label;
  const bool workingDirectory = (label == "PROP_WorkingDirectory" || label == "Working Directory") &&
                                std::getenv("VEL_CORVANE_ENABLE_ABSOLUTE_WDIR") == nullptr;
  if (workingDirectory) value = WrittenWorkingDirectory(value, m_fileName);
  // The file rule then sees the working directory's written form, which is relative and so
  // stays; read afresh from the property it would turn the project's own directory into
  // "../<name>".
  if (!workingDirectory) {
    String fileValue;
    GetFileValue(instance, &fileValue);
    if (!fileValue.empty()) value = fileValue;
  }
  X::DOMElement* element = NewElement(N::kPropertyW);
  SetAttribute(element, N::kNameW, name);
  SetAttribute(element, N::kValueW, value);
  bool isDefault = false;
  std::ignore = instance->IsDefault(&isDefault);
  SetAttribute(element, N::kValueStateW, isDefault ? N::kValueStateDefault : N::kValueStateNonDefault);
  bool locked = false;
  if (AutoCast<ILockable> lock(instance); lock && lock->IsLocked(&locked) == kSuccess && locked)
    SetAttribute(element, N::kLockedW, N::kTrue);
  m_sections[kProperties]->appendChild(element);
}

void CProjectSourceXMLWriter::PushLibraries() {
  AutoCast<ISourceLibraryManager> manager(m_project.Get());
  AutoRelease<ISourceLibraryIterator> libraries;
  if (!manager || manager->GetSourceLibraries(libraries.Receive()) != kSuccess || !libraries) return;
  for (; !libraries->IsDone(); std::ignore = libraries->Next()) {
    AutoCast<Prjrep::IName> named(libraries->Current());
    String name;
    if (!named || named->GetName(name) != kSuccess || IsSystemLibraryName(name)) continue;
    X::DOMElement* library = NewElement(N::kLibraryW);
    SetAttribute(library, N::kNameW, name);
    m_sections[kLibraries]->appendChild(library);
  }
}

// --- Writing ------------------------------------------------------------------------------

Status CProjectSourceXMLWriter::Serialize() {
  std::string message;
  Status status = kFailure;
  if (HasOtherEncoding(m_document)) {
    status = Xml::WriteDocumentFile(m_document, m_fileName.str(), &message);
  } else {
    std::string text = m_filesAt != nullptr ? FormatProjectDocument(m_document, m_filesAt, m_filesText)
                                            : FormatProjectDocument(m_document);
    status = WriteFileAtomically(m_fileName.str(), text, &message);
    // A snapshot stands for the file by the bytes written.
    if (m_kept != nullptr) m_writtenText = std::move(text);
  }
  // The adopted document now stands for the file it was written to; after a failure it holds
  // what no file does, and the next save compares with the file itself.
  if (!m_ownsDocument) m_document->setDocumentURI(status == kSuccess ? Xml::XmlText(m_fileName.str()).get() : nullptr);
  if (status != kSuccess) {
    Port_MsgManData::debugStub(
        Port::FormatMessage("Error: CProjectSourceXMLWriter::Serialize - %s\n", message.c_str()).c_str());
  }
  return status;
}

namespace {

// Whether the document read at open stands for the target file: only when it was read from
// it; a save to another file compares with what that file holds.
bool StandsFor(X::DOMDocument* adopted, const Text& target) {
  // The DOM keeps the name as a URI: "file://" and the path.
  std::string source = Xml::Utf8Text(adopted->getDocumentURI()).str();
  if (source.rfind("file://", 0) == 0) source.erase(0, 7);
  return !source.empty() && Port::File::namematch(source.c_str(), target.c_str()) == 1;
}

}  // namespace

X::DOMDocument* CProjectSourceXMLWriter::TargetDocument(X::DOMDocument* adopted) {
  if (!Port::File::exist(m_fileName)) return nullptr;
  if (StandsFor(adopted, m_fileName)) return adopted;
  m_targetDocument = Xml::ParseXmlFile(m_fileName.c_str());
  return m_targetDocument.get();
}

X::DOMElement* CProjectSourceXMLWriter::ComparedSection(int section) {
  // Only the adopted document's own sections are ever kept; with the check turned off every
  // section is written.
  if (m_ownsDocument || ReadOnce(NoDirtyCheckFlag(), "VEL_CORVANE_NO_DIRTY_CHECK")) return nullptr;
  if (!Port::File::exist(m_fileName) || !StandsFor(m_document, m_fileName)) return nullptr;
  X::DOMElement* root = m_document->getDocumentElement();
  if (root == nullptr || FirstChildNamed(root, N::kHeaderW) == nullptr || FirstChildNamed(root, N::kVersionW) == nullptr)
    return nullptr;
  return FirstChildNamed(root, kSectionNames[section]);
}

bool CProjectSourceXMLWriter::HasChanged() {
  m_differs.fill(true);
  X::DOMDocument* target = m_ownsDocument ? m_document : TargetDocument(m_document);
  X::DOMElement* root = target != nullptr ? target->getDocumentElement() : nullptr;
  if (root == nullptr || FirstChildNamed(root, N::kHeaderW) == nullptr) return true;
  X::DOMElement* version = FirstChildNamed(root, N::kVersionW);
  if (version == nullptr) return true;
  const XMLNamespaceHelper xml(target, N::kNamespaceUriW);
  bool changed = AttributeText(xml, version, N::kHlcVersionW) != Port::Version::getValue("version") ||
                 std::atoi(AttributeText(xml, version, N::kSchemaVersionAttrW).c_str()) != 2;
  for (int section = kFiles; section < kSectionCount; ++section) {
    X::DOMElement* old = FirstChildNamed(root, kSectionNames[section]);
    // The files section may have been compared already, as it was described.
    const bool differs = section == kFiles && m_filesEqual && target == m_document
                             ? !*m_filesEqual
                             : old == nullptr || !XMLDifferencer(true).Compare(m_sections[section], old);
    // Only the adopted document's own sections can be kept; another file's say nothing of it.
    if (target == m_document) m_differs[section] = differs;
    changed = changed || differs;
  }
  return changed;
}

Status CProjectSourceXMLWriter::PushSections() {
  PushHeader();
  // A project whose files cannot be listed is not saved: the file would lose them all.
  if (Status status = PushFiles(); status != kSuccess) return status;
  if (Status status = PushAutoManagedFiles(); status != kSuccess) return status;
  PushProperties();
  PushLibraries();
  return kSuccess;
}

Status CProjectSourceXMLWriter::Write() {
  if (!m_ownDocument) return kFailure;  // the XML platform could not be started
  if (m_compareOnly) return kProjectReadOnly;  // no file read to compare with: all of it is new
  if (m_ownsDocument) {
    BuildSkeleton();
  } else {
    CreateSections();
  }
  if (Status status = PushSections(); status != kSuccess) return status;
  // An adopted document is changed only once its new sections are complete.
  if (!m_ownsDocument) AttachSections();
  RemoveRootTextNodes();
  return Serialize();
}

Status CProjectSourceXMLWriter::WriteIfChanged(X::DOMDocument* old) {
  if (m_ownDocument && old != nullptr && old->getDocumentElement() != nullptr) {
    // The sections are still built in the writer's own document, which goes with the writer
    // as a whole; the adopted one takes only the sections that differ (AttachSections).
    m_sections = {};
    m_document = old;
    m_root = old->getDocumentElement();
    m_ownsDocument = false;
  }
  if (!m_ownDocument) return kFailure;
  CreateSections();
  if (Status status = PushSections(); status != kSuccess) return status;
  RemoveRootTextNodes();
  if (!ReadOnce(NoDirtyCheckFlag(), "VEL_CORVANE_NO_DIRTY_CHECK") && !HasChanged()) {
    Port_MsgManData::debugStub("No need to write... elements are the same\n");
    return kSuccess;
  }
  if (m_compareOnly) return kProjectReadOnly;
  AttachSections();
  return Serialize();
}

Status CProjectSourceXMLWriter::WriteIfChanged(XhlcSnapshot& kept) {
  if (kept.Whole() != nullptr) return WriteIfChanged(kept.Whole());
  X::DOMDocument* outline = kept.Outline();
  if (!m_ownDocument || outline == nullptr || outline->getDocumentElement() == nullptr) return kFailure;
  // The outline holds every section the comparison reads but the file entries, which the
  // snapshot compares as it keeps them.
  m_sections = {};
  m_kept = &kept;
  m_document = outline;
  m_root = outline->getDocumentElement();
  m_ownsDocument = false;
  CreateSections();
  if (Status status = PushSections(); status != kSuccess) return status;
  if (!ReadOnce(NoDirtyCheckFlag(), "VEL_CORVANE_NO_DIRTY_CHECK") && !HasChanged()) {
    Port_MsgManData::debugStub("No need to write... elements are the same\n");
    return kSuccess;
  }
  if (m_compareOnly) return kProjectReadOnly;
  // Written: the sections that differ go into the document as read. When the files section is
  // rebuilt, the outline is that document; when it is kept, its entries are built again from
  // the records where they were written as a save writes them, else the bytes are parsed again.
  Xml::DocumentPtr whole;
  const bool fromOutline = m_differs[kFiles] || !m_filesEqual.value_or(false) || kept.EntriesCanonical();
  if (m_differs[kFiles] || !m_filesEqual.value_or(false)) {
    whole = kept.TakeOutline();
  } else if (kept.EntriesCanonical()) {
    whole = kept.TakeOutline();
    m_filesAt = FilesSectionOf(whole->getDocumentElement());
    m_filesText = EntriesText(m_keptRecords);
  } else {
    whole = kept.Parse();
    if (!whole || whole->getDocumentElement() == nullptr) {
      Port_MsgManData::debugStub(
          Port::FormatMessage("Error: CProjectSourceXMLWriter::WriteIfChanged - %s no longer parses\n",
                              m_fileName.c_str())
              .c_str());
      return kFailure;
    }
  }
  m_document = whole.get();
  m_root = whole->getDocumentElement();
  RemoveRootTextNodes();
  AttachSections();
  m_writtenText.clear();
  const Status status = Serialize();
  m_document = nullptr;
  m_root = nullptr;
  if (status != kSuccess || m_writtenText.empty()) {
    // The outline stays one, standing for no file; a document parsed again is kept whole.
    if (fromOutline) {
      kept.Unwritten(std::move(whole));
    } else {
      kept.Written(std::move(whole), nullptr, nullptr);
    }
    return status;
  }
  // The entries stay those kept when the files section was found the same as the records;
  // otherwise they were written from the records.
  std::string entries;
  const bool entriesKept = m_filesEqual.value_or(false);
  if (!entriesKept) entries = EncodeRecords(m_keptRecords);
  kept.Written(std::move(whole), &m_writtenText, entriesKept ? nullptr : &entries);
  return status;
}

}  // namespace Hvd
