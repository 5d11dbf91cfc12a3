#include "projectfiles/CXMLReader.h"

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>
#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLString.hpp>

#include "CitP/Factory.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Port/Version.h"
#include "Prjrep/ClassIds.h"
#include "Prjrep/IFileNameHelper.h"
#include "childproject/FileComposer.h"
#include "design/design/Placement.h"
#include "files/FileViewPlacement.h"
#include "files/file/GoneViews.h"
#include "projectfiles/CProjectSourceXMLWriter.h"
#include "projectfiles/ProjectPaths.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "utils/FileStamp.h"
#include "utils/FileUtils.h"
#include "utils/KeyedProperty.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace N = XmlNames;

namespace {

constexpr const char* kSource = "../src/CXMLReader";
constexpr const char* kRevision = "$Revision: 1.44.18.1 $";
constexpr XMLCh kFileSet[] = u"fileSet";
constexpr XMLCh kLogicalName[] = u"logicalName";
constexpr XMLCh kInCompileOrder[] = u"inCompileOrder";
constexpr XMLCh kIncludeFile[] = u"includeFile";
constexpr XMLCh kPartitions[] = u"partitions";
constexpr XMLCh kPartition[] = u"partition";

struct BranchRow {
  const char* name;
  int viewClass;  // -1: none
  std::uint32_t target;
};
constexpr BranchRow kBranchTable[] = {
    {"Implementation", 0, 2},
    {"BehavioralSimulation", 1, 1},
    {"BehavioralSim", 1, 7},
    {"PostTranslateSimulation", 3, 4},
    {"PostMapSimulation", 4, 5},
    {"PostRouteSimulation", 5, 6},
    {"Map", 6, 7},
    {"Par", 7, 7},
    {"Translate", 8, 7},
    {"FPGAConfiguration", 9, 7},
};

const BranchRow* FindBranch(const Text& name) {
  for (const BranchRow& row : kBranchTable) {
    if (name == row.name) return &row;
  }
  return nullptr;
}

bool IsProjectFileName(const Text& path) {
  const Text extension = Port::FileName(path).GetExtension();
  return boost::algorithm::iequals(extension.str(), ".hlc") || boost::algorithm::iequals(extension.str(), ".xhlc");
}

// A project reference is always opened as the current form of its file.
Text ForcedToXhlc(const Text& path) {
  Port::FileName name(path);
  name.SetTail(name.GetBase() + ".xhlc");
  return name.MakeCanonical().GetPath();
}

bool EnvironmentSet(const char* name) { return std::getenv(name) != nullptr; }

}  // namespace

// A large project's document is many times the size of what its files sections say; this is
// what the open reads of them, as it reads it. The file entries are one text of fields, each
// ended by a NUL, which no XML text holds: per file a mark and its name, then per association
// a mark, the branch, the sequence id and "1" for an include, then per library a mark and its
// name. Held as objects, they would take a tenth of the document again.
struct CXMLReader::TakenEntries {
  static constexpr char kFile = 'f';
  static constexpr char kAssociation = 'a';
  static constexpr char kLibrary = 'l';

  static void Put(std::string& out, std::string_view field) {
    out += field;
    out += '\0';
  }
  // The next field of `rest`, taken off it.
  static std::string_view Next(std::string_view& rest) {
    const std::size_t end = std::min(rest.find('\0'), rest.size());
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return field;
  }

  std::string files;  // in the order they are added
  std::vector<std::pair<Text, Text>> bindings;  // name and location
  std::vector<Text> libraries;  // of the libraries section
  // The managed files section's entries, name and type as written; read only for a file that
  // the files section lists too, off the disk.
  std::vector<std::pair<std::string, std::string>> included;
  bool filesRead = false;
};

namespace {

bool Is(const XMLCh* text, const XMLCh* name) { return X::XMLString::equals(text, name); }

void AppendField(std::string& out, const XMLCh* text) {
  Xml::AppendUtf8Text(out, text);
  out += '\0';
}

// An attribute as a save writes those of the entries: the project's prefix and namespace.
bool IsEntryAttribute(const Xml::ContentDiverter::Attribute& attribute, const XMLCh* localName) {
  return Is(attribute.localName, localName) && Is(attribute.prefix, N::kAttributePrefixW) &&
         Is(attribute.uri, N::kNamespaceUriW);
}

}  // namespace

bool CXMLReader::DivertedFiles::Diverts(std::size_t depth, const XMLCh* uri, const XMLCh* prefix,
                                        const XMLCh* localName) {
  m_diverted = depth == 1 && *prefix == 0 && Is(localName, N::kFilesW) && Is(uri, N::kNamespaceUriW);
  return m_diverted;
}

void CXMLReader::DivertedFiles::StartElement(const XMLCh* uri, const XMLCh* prefix, const XMLCh* localName,
                                             const Attribute* attributes, std::size_t count) {
  ++m_depth;
  if (!m_usable) return;
  const bool entry = *prefix == 0 && Is(uri, N::kNamespaceUriW);
  if (entry && m_depth == 1 && Is(localName, N::kFileW)) {
    StartFile(attributes, count);
  } else if (entry && m_depth == 2) {
    StartInner(localName, attributes, count);
  } else {
    m_usable = false;
  }
}

void CXMLReader::DivertedFiles::EndElement() {
  if (m_depth == 1 && m_usable) EndFile();
  --m_depth;
}

void CXMLReader::DivertedFiles::Characters(const XMLCh* text, std::size_t length) {
  // Whitespace is all a save writes between entries; any other text is content of its own.
  if (!X::XMLChar1_0::isAllSpaces(text, length)) m_usable = false;
}

void CXMLReader::DivertedFiles::StartFile(const Attribute* attributes, std::size_t count) {
  using Mark = CProjectSourceXMLWriter::EntryMark;
  if (count != 2 || !IsEntryAttribute(attributes[0], N::kNameW) || !IsEntryAttribute(attributes[1], N::kTypeW)) {
    m_usable = false;
    return;
  }
  ++m_files;
  m_entries += Mark::kFile;
  AppendField(m_entries, attributes[0].value);
  m_entries += Mark::kType;
  AppendField(m_entries, attributes[1].value);
  m_name.clear();
  Xml::AppendUtf8Text(m_name, attributes[0].value);
  m_associations.clear();
  m_libraries.clear();
}

void CXMLReader::DivertedFiles::StartInner(const XMLCh* localName, const Attribute* attributes, std::size_t count) {
  using Mark = CProjectSourceXMLWriter::EntryMark;
  using Taken = TakenEntries;
  if (count < 1 || !IsEntryAttribute(attributes[0], N::kNameW)) {
    m_usable = false;
  } else if (Is(localName, N::kAssociationW)) {
    std::size_t next = 1;
    const XMLCh* sequence = next < count && IsEntryAttribute(attributes[next], N::kSeqIdW) ? attributes[next++].value
                                                                                           : nullptr;
    const XMLCh* include = next < count && IsEntryAttribute(attributes[next], N::kSeqIdIncW)
                               ? attributes[next++].value
                               : nullptr;
    if (next != count) {
      m_usable = false;
      return;
    }
    m_entries += Mark::kAssociation;
    AppendField(m_entries, attributes[0].value);
    if (sequence != nullptr) {
      m_entries += Mark::kSequence;
      AppendField(m_entries, sequence);
    }
    if (include != nullptr) {
      m_entries += Mark::kInclude;
      AppendField(m_entries, include);
    }
    Taken::Put(m_associations, {&Taken::kAssociation, 1});
    AppendField(m_associations, attributes[0].value);
    AppendField(m_associations, sequence);
    Taken::Put(m_associations, include != nullptr && *include != 0 ? "1" : "");
  } else if (Is(localName, N::kLibraryW) && count == 1) {
    m_entries += Mark::kLibrary;
    AppendField(m_entries, attributes[0].value);
    Taken::Put(m_libraries, {&Taken::kLibrary, 1});
    AppendField(m_libraries, attributes[0].value);
  } else {
    m_usable = false;
  }
}

// As TakeEntries takes a file: none without a name, references after every ordinary file.
void CXMLReader::DivertedFiles::EndFile() {
  using Taken = TakenEntries;
  if (m_name.empty()) return;
  std::string& out = IsProjectFileName(Text(m_name)) ? m_references : m_taken;
  Taken::Put(out, {&Taken::kFile, 1});
  Taken::Put(out, m_name);
  out += m_associations;
  out += m_libraries;
}

CXMLReader::CXMLReader(IProject* project) : m_project(project) { CreateParser(); }

CXMLReader::CXMLReader() { CreateParser(); }

CXMLReader::~CXMLReader() = default;

void CXMLReader::CreateParser() {
  // The safe parser is made with the reader; what remains is the reader's own start state.
  m_schemaVersion.Format("%d", 2);
  m_productVersion = Port::Version::getValue("version");
}

bool CXMLReader::ParseFile(const String& path) {
  m_fileName = path;
  m_directory = Port::FileName(path).GetHead();
  m_properties.clear();
  m_parseRefused = false;
  if (!Port::File::exist(path)) return false;
  std::string bytes;
  auto diverted = std::exchange(m_divert, false) ? std::make_unique<DivertedFiles>() : nullptr;
  Xml::DocumentPtr document = m_parser.ParseFile(path.c_str(), &bytes, diverted.get());
  if (!document) {
    const Xml::SafeDomParser::ErrorPlace& error = m_parser.FirstError();
    Port_MsgManData::createObject("ProjectMgmt", kSource, 83, kRevision)
        .issueError("%s on line %d, column %d\n while parsing file %s\n", error.message.c_str(),
                    static_cast<int>(error.line), static_cast<int>(error.column),
                    error.systemId.empty() ? path.c_str() : error.systemId.c_str());
    m_parseRefused = true;
    return false;
  }
  return AdoptDocument(path, std::move(document), std::move(bytes), nullptr, std::move(diverted));
}

bool CXMLReader::AdoptDocument(const String& path, Xml::DocumentPtr document, std::string bytes,
                               std::unique_ptr<ElementIndex> index, std::unique_ptr<DivertedFiles> diverted) {
  if (!document) return false;
  m_fileName = path;
  m_directory = Port::FileName(path).GetHead();
  m_properties.clear();
  m_index = std::move(index);
  m_document = std::move(document);
  m_bytes = std::move(bytes);
  m_snapshot.reset();
  // Nothing left out, or nothing to parse the whole again from: the document is as it is.
  m_diverted = diverted && diverted->Diverted() && !m_bytes.empty() ? std::move(diverted) : nullptr;
  // The writer compares with this document only while it names the file being saved.
  m_document->setDocumentURI(Xml::XmlText(path.str()).get());
  m_root = m_document->getDocumentElement();
  return true;
}

Xml::DocumentPtr CXMLReader::TakeDocument() noexcept {
  ParseWhole();
  m_root = nullptr;
  m_index.reset();
  return std::move(m_document);
}

std::vector<X::DOMElement*> CXMLReader::InDocument(const XMLCh* uri, const XMLCh* localName) const {
  if (!m_document) return {};
  if (!m_index) m_index = std::make_unique<ElementIndex>(m_document.get());
  return m_index->Named(uri, localName);
}

void CXMLReader::ParseWhole() const noexcept {
  if (!m_diverted) return;
  m_diverted.reset();
  m_index.reset();
  if (!m_document) return;
  Xml::SafeDomParser parser;
  Xml::DocumentPtr whole = parser.ParseBytes(m_bytes, m_fileName.c_str());
  // The same bytes parsed before: only a lack of memory fails here, and no document is then
  // better than part of one.
  if (whole) whole->setDocumentURI(m_document->getDocumentURI());
  m_document = std::move(whole);
  m_root = m_document ? m_document->getDocumentElement() : nullptr;
}

bool CXMLReader::KeepDivertedFiles() {
  if (!m_diverted) return false;
  if (m_diverted->m_checked) return true;
  m_diverted->m_checked = true;
  // The section left out must be the one both TakeEntries and the writer's snapshot read, in a
  // document of the form TakeEntries reads.
  bool serves = m_diverted->Usable() && m_root != nullptr &&
                boost::algorithm::iequals(m_schemaVersion.str(), N::kSchemaVersion);
  if (serves) {
    X::DOMElement* section = nullptr;
    for (X::DOMNode* child = m_root->getFirstChild(); child != nullptr && section == nullptr;
         child = child->getNextSibling()) {
      if (child->getNodeType() == X::DOMNode::ELEMENT_NODE && X::XMLString::equals(child->getNodeName(), N::kFilesW) &&
          X::XMLString::equals(child->getNamespaceURI(), N::kNamespaceUriW))
        section = static_cast<X::DOMElement*>(child);
    }
    const std::vector<X::DOMElement*> sections = InDocument(N::kNamespaceUriW, N::kFilesW);
    serves = section != nullptr && !sections.empty() && sections.front() == section &&
             CProjectSourceXMLWriter::FilesSectionOf(m_root) == section;
  }
  if (!serves) ParseWhole();
  return serves;
}

bool CXMLReader::ReleaseDocument() {
  if (!m_document || m_bytes.empty()) return false;
  // What the later steps read of the document is read now.
  if (m_properties.empty()) ReadProperties();
  const std::size_t partitions = PartitionCount();
  std::unique_ptr<XhlcSnapshot> snapshot =
      KeepDivertedFiles() ? XhlcSnapshot::Make(m_document.get(), m_bytes, &m_diverted->m_entries)
                          : XhlcSnapshot::Make(m_document.get(), m_bytes);
  if (!snapshot) return false;
  m_snapshot = std::move(snapshot);
  m_releasedPartitions = partitions;
  m_diverted.reset();
  m_index.reset();
  m_document.reset();
  m_root = nullptr;
  std::string().swap(m_bytes);
  return true;
}

void CXMLReader::ReadVersion() {
  if (!m_document || m_root == nullptr) return;
  if (X::XMLString::equals(m_root->getTagName(), u"component")) {
    m_schemaVersion = "0";
    return;
  }
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  const std::vector<X::DOMElement*> versions = InDocument(xml.GetNamespaceURI(), N::kVersionW);
  if (versions.size() != 1) return;
  const auto* version = versions[0];
  m_schemaVersion = AttributeText(xml, version, N::kSchemaVersionAttrW);
  m_productVersion = AttributeText(xml, version, N::kHlcVersionW);
}

Status CXMLReader::GetSchemaVersion(String* version) {
  if (version == nullptr) return kInvalidParameter;
  *version = m_schemaVersion;
  return kSuccess;
}

CXMLReader::String CXMLReader::GetProductVersion() { return m_productVersion; }

bool CXMLReader::IsAcceptedSchemaVersion(const String& version) {
  return version.empty() || version == "0" || version == "1" || version == "2";
}

std::uint32_t CXMLReader::BranchToSequenceTarget(const String& branch) {
  const BranchRow* row = FindBranch(branch);
  return row != nullptr ? row->target : kOtherTarget;
}

void CXMLReader::ReadBranch(const String& branch, CitI::IInterface* file, X::DOMElement* /*element*/) {
  const BranchRow* row = FindBranch(branch);
  AutoCast<IViewClassAssociation> classes(file);
  if (row == nullptr || row->viewClass < 0 || !classes) return;  // a branch the table does not name
  std::ignore = classes->SetBit(static_cast<std::uint32_t>(row->viewClass));
}

CXMLReader::String CXMLReader::ResolveProjectPath(const String& name) const {
  String path = name;
  MakeAbsoluteProjectPath(path, m_directory);
  return path;
}

namespace {

// Whether `folder` is the folder `place` or one above it, by whatever name or link leads there.
bool HoldsFolder(const Port::StringBase<char>& folder, const Port::StringBase<char>& place) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path held = fs::canonical(fs::path(folder.str()), error);
  if (error) return false;
  for (fs::path at = fs::canonical(fs::path(place.str()), error); !error; at = at.parent_path()) {
    if (at == held) return true;
    if (!at.has_relative_path()) break;
  }
  return false;
}

}  // namespace

Status CXMLReader::AddFile(const String& path, IFileType* type, AutoRelease<IHdlFile>& file) {
  file = nullptr;
  AutoCast<IProjectInternal> project(m_project);
  if (!project) return kMissingInterface;
  // A folder at a listed name, as a branch switch leaves one, is a file off the disk: it keeps its
  // entry and is in no view until a file is there again. Only the project's own folder, or one
  // above it, can never be that file, and its name would be written back as another.
  const bool holdsProject = FileUtils::IsFolder(path) && HoldsFolder(path, m_directory);
  const Status added = holdsProject ? kFailure : project->ProjectAddFile(path, type, file.Receive());
  // Kept as read, but a save writes the backslash as a folder separator, naming another file.
  if (added == kSuccess && path.str().find('\\') != std::string::npos) {
    Port_MsgManData::createObject("ProjectMgmt", kSource, 0, kRevision)
        .issueWarning(
            "The project file \"%s\" names the file \"%s\", whose name holds a backslash.\n"
            "A save writes the backslash as a folder separator, so the saved project will name \"%s\" instead.\n"
            "Rename the file without a backslash and add it to the project again.\n",
            m_fileName.c_str(), path.c_str(), MakeSlashPath(path.c_str()).c_str());
  }
  // Left out here, the entry is gone at the next save: the user hears of it now. Once more the
  // same file is another matter, told where the two entries are known.
  if (added != kSuccess && added != kAlreadyInProject) {
    // With the older storage, the repository the project keeps is its own file as well.
    String repository;
    if (AutoCast<IProject> own(m_project); own) std::ignore = own->GetRepositoryPath(&repository);
    const bool itself = FileUtils::SameFile(path, m_fileName) ||
                        (!repository.empty() && (Port::File::namematch(path.c_str(), repository.c_str()) == 1 ||
                                                 FileUtils::SameFile(path, repository)));
    const char* why = holdsProject ? "it is a folder, not a file"
                      : itself     ? "it is the project's own file"
                                   : "the project refused it";
    Port_MsgManData::createObject("ProjectMgmt", kSource, 0, kRevision)
        .issueWarning(
            "The project file \"%s\" names \"%s\", which the project cannot hold: %s.\n"
            "The entry is left out, and the next save does not write it.\n",
            m_fileName.c_str(), path.c_str(), why);
  }
  return added;
}

namespace {

// A file's compile-order sequence id of `branch`, as written; nothing for a number that does
// not read whole.
void ApplySequenceId(const Text& branch, Text number, CitI::IInterface* file) {
  if (number.empty()) return;
  // The whole number is kept: ids come from a counter that is never renumbered.
  number.Trim(" \t", Text::kTrimBoth);
  std::uint64_t id = 0;
  const char* end = number.c_str() + number.size();
  const auto [stop, error] = std::from_chars(number.c_str(), end, id);
  if (AutoCast<ICompileOrder> order(file); order && error == std::errc() && stop == end && !number.empty())
    std::ignore = order->SetSequenceID(CXMLReader::BranchToSequenceTarget(branch), id);
}

void AddToLibrary(ISourceLibraryManager* libraries, const Text& name, IHdlFile* file) {
  // Exact: a library named "Work" is the user's own, not the system's "work".
  if (libraries == nullptr || name.empty() || IsSystemLibraryName(name)) return;
  if (AutoRelease<ISourceLibrary> library = FindOrCreateLibrary(libraries, name); library)
    std::ignore = library->AddFileToLibrary(file);
}

}  // namespace

void CXMLReader::ReadFiles() {
  // Every file read is placed once afterwards (UpdateFileViews), not as each gets its classes.
  const FileViewPlacementHold hold;
  // The current form is read from what is taken of it, whether or not the document goes after.
  const bool current = boost::algorithm::iequals(m_schemaVersion.str(), N::kSchemaVersion);
  if (current && !m_taken) std::ignore = TakeEntries();
  if (m_taken) {
    AddTakenFiles();
  } else if (!current) {
    ReadFileSets();
  }
}

void CXMLReader::ReadFilesAndLibraries(bool release) {
  const bool taken = release && TakeEntries();
  if (taken) std::ignore = ReleaseDocument();
  ReadFiles();
  ReadLibraries();
  if (release && !taken) std::ignore = ReleaseDocument();
}

// Takes the entries in the order, and with the skips, that the reading from the document keeps.
bool CXMLReader::TakeEntries() {
  if (!m_document || !boost::algorithm::iequals(m_schemaVersion.str(), N::kSchemaVersion)) return false;
  // Before anything of the document is looked at: it may be parsed again whole. Entries read at
  // the parse are taken once; taken again, they come from the whole document.
  if (m_diverted && m_diverted->m_filesTaken) ParseWhole();
  const bool diverted = KeepDivertedFiles();
  if (!m_document) return false;
  using Taken = TakenEntries;
  auto taken = std::make_unique<Taken>();
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  const XMLCh* uri = xml.GetNamespaceURI();
  if (diverted) {
    taken->files = std::move(m_diverted->m_taken);
    taken->files += m_diverted->m_references;
    std::string().swap(m_diverted->m_references);
    taken->files.shrink_to_fit();
    taken->filesRead = m_diverted->m_files > 0;
    m_diverted->m_filesTaken = true;
  } else if (const std::vector<X::DOMElement*> sections = InDocument(uri, N::kFilesW); !sections.empty()) {
    const std::vector<X::DOMElement*> files = ElementsNamed(sections[0], uri, N::kFileW);
    std::string references;
    for (X::DOMElement* element : files) {
      const Text name = AttributeText(xml, element, N::kNameW);
      if (name.empty()) continue;
      // Other projects are added after every ordinary file, whatever their place in the list.
      std::string& out = IsProjectFileName(name) ? references : taken->files;
      Taken::Put(out, {&Taken::kFile, 1});
      Taken::Put(out, name.str());
      for (X::DOMElement* association : ElementsNamed(element, uri, N::kAssociationW)) {
        Taken::Put(out, {&Taken::kAssociation, 1});
        Taken::Put(out, AttributeText(xml, association, N::kNameW).str());
        Taken::Put(out, AttributeText(xml, association, N::kSeqIdW).str());
        Taken::Put(out, AttributeText(xml, association, N::kSeqIdIncW).empty() ? "" : "1");
      }
      for (X::DOMElement* library : ElementsNamed(element, uri, N::kLibraryW)) {
        Taken::Put(out, {&Taken::kLibrary, 1});
        Taken::Put(out, AttributeText(xml, library, N::kNameW).str());
      }
    }
    taken->files += references;
    taken->files.shrink_to_fit();
    taken->filesRead = !files.empty();
  }
  if (const std::vector<X::DOMElement*> sections = InDocument(uri, N::kAutoManagedFilesW); !sections.empty()) {
    for (X::DOMElement* element : ElementsNamed(sections[0], uri, N::kFileW))
      taken->included.emplace_back(AttributeText(xml, element, N::kNameW).str(),
                                   AttributeText(xml, element, N::kTypeW).str());
  }
  for (const X::DOMElement* binding : InDocument(uri, N::kBindingW))
    taken->bindings.emplace_back(AttributeText(xml, binding, N::kNameW), AttributeText(xml, binding, N::kLocationW));
  if (const std::vector<X::DOMElement*> sections = InDocument(uri, N::kLibrariesW); !sections.empty()) {
    for (const X::DOMElement* library : ElementsNamed(sections[0], uri, N::kLibraryW)) {
      if (Text name = AttributeText(xml, library, N::kNameW); !name.empty()) taken->libraries.push_back(std::move(name));
    }
  }
  m_taken = std::move(taken);
  return true;
}

void CXMLReader::AddTakenFiles() {
  // Ordinary files, then project references, each with its branches, ids and libraries; the
  // bindings only when the section listed files.
  if (!m_taken->filesRead) return;
  using Taken = TakenEntries;
  AutoCast<ISourceLibraryManager> libraries(m_project);
  const std::string entries = std::move(m_taken->files);
  std::string_view rest = entries;
  // The name each file read so far was listed by, for an entry that names one of them again.
  std::unordered_map<CitI::IInterface*, std::string_view> listedAs;
  // A user's file off the disk, by its name as listed: the managed files section may record it
  // as a header its includers' scans cannot find meanwhile.
  std::unordered_map<std::string_view, AutoPtr<IHdlFile>> gone;
  while (!rest.empty()) {
    Taken::Next(rest);  // the file's mark
    const std::string_view written = Taken::Next(rest);
    String path = ResolveProjectPath(Text(written));
    AutoRelease<IFileType> type = ProjectReferenceType(path, "HandleFileV2");
    AutoRelease<IHdlFile> file;
    const Status status = AddFile(path, type.Get(), file);
    const bool added = status == kSuccess && file;
    if (added) listedAs.emplace(RootOf(file.Get()), written);
    if (added && IsOffTheDisk(file.Get())) gone.emplace(written, AutoPtr<IHdlFile>(file.Get()));
    // Its associations, then its libraries, up to the next file's mark.
    Text library("work");
    while (!rest.empty() && rest.front() != Taken::kFile) {
      if (Taken::Next(rest).starts_with(Taken::kAssociation)) {
        const Text branch(Taken::Next(rest));
        const Text sequenceId(Taken::Next(rest));
        const bool include = !Taken::Next(rest).empty();
        if (!added || branch.empty()) continue;
        ReadBranch(branch, file.Get(), nullptr);
        ApplySequenceId(branch, sequenceId, file.Get());
        if (AutoCast<IHdlFileV3> global(file.Get()); include && global) std::ignore = global->SetGlobalInclude(true);
      } else if (Text name(Taken::Next(rest)); added) {
        AddToLibrary(libraries.Get(), name, file.Get());
      } else if (!name.empty()) {
        library = std::move(name);
      }
    }
    if (status == kAlreadyInProject && file) {
      if (const auto first = listedAs.find(RootOf(file.Get())); first != listedAs.end())
        WarnOfEntryLeftOut(file.Get(), first->second, written, library);
    }
  }
  for (const auto& [name, type] : std::exchange(m_taken->included, {})) {
    if (const auto at = gone.find(name); at != gone.end()) KeepIncludedEntryWhileGone(at->second.Get(), Text(type));
  }
  ReadBindings();
}

// An older build wrote a file reached through a link to the project's folder by that name too,
// often in another library: the project holds the file once, as its first entry has it.
void CXMLReader::WarnOfEntryLeftOut(IHdlFile* file, std::string_view first, std::string_view again,
                                    const Text& library) {
  Text kept = GetFileLibraryName(file);
  if (kept.empty()) kept = "work";
  Text path;
  if (AutoCast<Prjrep::IFileNameHelper> names(file); names) std::ignore = names->GetFullName(&path);
  const std::string firstName(first);
  const std::string againName(again);
  Port_MsgManData::createObject("ProjectMgmt", kSource, 0, kRevision)
      .issueWarning(
          "The project file \"%s\" lists the file \"%s\" twice: as \"%s\", and as \"%s\" in the library \"%s\".\n"
          "A project holds a file once, so the entry \"%s\" is left out: the file stays in the library \"%s\", and "
          "the next save writes its first entry alone.\n",
          m_fileName.c_str(), path.c_str(), firstName.c_str(), againName.c_str(), library.c_str(), againName.c_str(),
          kept.c_str());
}

Prjrep::AutoRelease<IFileType> CXMLReader::ProjectReferenceType(String& path, const char* step) {
  AutoRelease<IFileType> type;
  if (!IsProjectFileName(path)) return type;
  // Typed by the name as written, then opened as the current form of a project file.
  type = GetProjectFileType(path);
  if (!EnvironmentSet("VEL_CORVANE_ENABLE_HLC")) {
    path = ForcedToXhlc(path);
    Port_MsgManData::debugStub(
        Port::FormatMessage("CXMLReader::%s forcing %s to be an xhlc file\n", step, path.c_str()).c_str());
  }
  return type;
}

Prjrep::AutoRelease<IFileType> CXMLReader::GetProjectFileType(const String& path) {
  AutoRelease<IFileType> type;
  const Text generator = ProjectGeneratorOfFile(path);
  const char* key = generator == "TarvisDSP" ? "tarvishlc" : generator == "Moldrix" ? "moldrixhlc" : "hlcprojectfile";
  IDesign* design = DesignOf(m_project);
  AutoRelease<IDataStore> store;
  if (design == nullptr || design->GetDataStore(store.Receive()) != kSuccess) return type;
  if (AutoCast<IFileTypeStore> types(store.Get()); types) std::ignore = types->FindFileTypeByKey(key, type.Receive());
  return type;
}

void CXMLReader::ReadBindings() {
  AutoCast<IFileManager> files(m_project);
  if (!files || !m_taken) return;
  for (const auto& [name, location] : m_taken->bindings) {
    AutoRelease<IHdlFileIterator> at;
    if (files->FindFileByPath(name, at.Receive()) != kSuccess || !at || at->IsDone()) continue;
    if (AutoCast<IDesignGraphLocatorSet> locators(at->Current()); locators) std::ignore = locators->Add(location);
  }
}

void CXMLReader::ReadLibraries() {
  if (m_taken) {
    // The last step that reads what was taken.
    const std::unique_ptr<TakenEntries> taken = std::move(m_taken);
    AutoCast<ISourceLibraryManager> libraries(m_project);
    for (std::size_t i = 0; libraries && i < taken->libraries.size(); ++i)
      std::ignore = FindOrCreateLibrary(libraries.Get(), taken->libraries[i]);
    return;
  }
  if (!m_document) return;
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  const std::vector<X::DOMElement*> sections = InDocument(xml.GetNamespaceURI(), N::kLibrariesW);
  if (sections.empty()) return;
  const std::vector<X::DOMElement*> names = ElementsNamed(sections[0], xml.GetNamespaceURI(), N::kLibraryW);
  AutoCast<ISourceLibraryManager> libraries(m_project);
  for (XMLSize_t i = 0; libraries && i < names.size(); ++i) {
    const Text name = AttributeText(xml, names[i], N::kNameW);
    if (!name.empty()) std::ignore = FindOrCreateLibrary(libraries.Get(), name);
  }
}

void CXMLReader::UpdateFileViews() {
  if (!HasDocument() || m_project == nullptr) return;
  FileTypeViewCache(m_project).UpdateAllFileViews();
}

void CXMLReader::ReadImplementationTop() {
  if (!HasDocument() || m_project == nullptr) return;
  String top;
  String instancePath;
  String automatic;
  std::ignore = GetPropertyValue("Implementation Top", &top);
  std::ignore = GetPropertyValue("Implementation Top Instance Path", &instancePath);
  std::ignore = GetPropertyValue("Auto Implementation Top", &automatic);
  if (automatic.empty()) automatic = "true";
  if (top.empty() && instancePath.empty()) return;
  AutoCast<IViewManager> views(DesignOf(m_project));
  AutoRelease<IViewIterator> at;
  if (!views || views->FindViewByHint("SynthesisOnly", at.Receive()) != kSuccess || !at || at->IsDone()) return;
  // The view hears each setting as it is made: whether it chooses its top comes first, so that
  // a top the file gives is not chosen over at once. The instance path goes to the property the
  // view keeps it in; a shorter name it lacks would drop it.
  SetKeyedPropertyValue(at->Current(), "AUTOTOP", automatic);
  if (!instancePath.empty()) SetKeyedPropertyValue(at->Current(), "TOPINSTANCEPATH", instancePath);
  if (!top.empty()) SetKeyedPropertyValue(at->Current(), "TOPDESIGNUNIT", top);
}

std::size_t CXMLReader::PartitionCount() const {
  if (!m_document) return 0;
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  const std::vector<X::DOMElement*> sections = InDocument(xml.GetNamespaceURI(), kPartitions);
  if (sections.empty()) return 0;
  return ElementsNamed(sections[0], xml.GetNamespaceURI(), kPartition).size();
}

void CXMLReader::ReadPartitions() {
  if (!HasDocument()) return;
  // One partition is lost on the next save just as several are, so one is enough to warn.
  if ((m_document ? PartitionCount() : m_releasedPartitions) < 1) return;
  Port_MsgManData::createObject("ProjectMgmt", kSource, 626, kRevision)
      .issueWarning(
          "Partitions are no longer supported in 12.1 Corvane and Velmor Tcl.\nThe partitions in this design will be "
          "removed.\nPartitions will be supported in Floorwise and command-line tools.\n");
}

bool CXMLReader::GetBranchFiles(std::uint32_t branchIndex, Prjrep::IStringSet** files) {
  ParseWhole();
  String version;
  if (GetSchemaVersion(&version) != kSuccess || files == nullptr) return false;
  Prjrep::AutoOut<Prjrep::IStringSet> out(files);
  AutoRelease<Prjrep::IStringSet> set(CitP::Factory::CreateInstance(Prjrep::ClassId::StringSet()));
  if (!set) return false;
  out.Assign(set.Get());
  if (!m_document) return false;
  const bool current = boost::algorithm::iequals(version.str(), N::kSchemaVersion);
  const XMLNamespaceHelper xml(m_document.get(), current ? N::kNamespaceUriW : FileListNamespace());
  if (current) {
    const std::vector<X::DOMElement*> sections = InDocument(xml.GetNamespaceURI(), N::kFilesW);
    if (sections.empty()) return false;
    const std::vector<X::DOMElement*> list = ElementsNamed(sections[0], xml.GetNamespaceURI(), N::kFileW);
    for (XMLSize_t i = 0; i < list.size(); ++i) {
      auto* file = list[i];
      const Text name = AttributeText(xml, file, N::kNameW);
      if (name.empty()) continue;
      const Text path = ResolveProjectPath(name);
      const std::vector<X::DOMElement*> associations = ElementsNamed(file, xml.GetNamespaceURI(), N::kAssociationW);
      const XMLSize_t count = associations.size();
      if (count == 0 && branchIndex == kOtherTarget) std::ignore = set->Add(path);
      for (XMLSize_t k = 0; k < count; ++k) {
        const Text branch = AttributeText(xml, associations[k], N::kNameW);
        if (!branch.empty() && BranchToSequenceTarget(branch) == branchIndex) std::ignore = set->Add(path);
      }
    }
    return true;
  }
  const std::vector<X::DOMElement*> fileSets = InDocument(xml.GetNamespaceURI(), kFileSet);
  if (fileSets.empty()) return false;
  for (XMLSize_t i = 0; i < fileSets.size(); ++i) {
    X::DOMNode* fileSet = fileSets[i];
    if (fileSet->getNodeType() != X::DOMNode::ELEMENT_NODE) return false;
    if (BranchToSequenceTarget(NameText(xml, fileSet)) != branchIndex) continue;
    const std::vector<X::DOMElement*> list =
        ElementsNamed(static_cast<X::DOMElement*>(fileSet), xml.GetNamespaceURI(), N::kFileW);
    for (XMLSize_t k = 0; k < list.size(); ++k) {
      if (list[k]->getNodeType() != X::DOMNode::ELEMENT_NODE) continue;
      const Text name = NameText(xml, list[k]);
      if (!name.empty()) std::ignore = set->Add(ResolveProjectPath(name));
    }
  }
  return true;
}

// --- The older fileSet form ---------------------------------------------------------------

const XMLCh* CXMLReader::FileListNamespace() const {
  return m_schemaVersion == "0" ? N::kSpiritNamespaceUriW : N::kNamespaceUriW;
}

void CXMLReader::ReadFileSets() {
  ParseWhole();
  if (!m_document) return;
  const XMLNamespaceHelper xml(m_document.get(), FileListNamespace());
  const std::vector<X::DOMElement*> fileSets = InDocument(xml.GetNamespaceURI(), kFileSet);
  if (fileSets.empty()) return;
  for (XMLSize_t i = 0; i < fileSets.size(); ++i) {
    X::DOMNode* fileSet = fileSets[i];
    if (fileSet->getNodeType() != X::DOMNode::ELEMENT_NODE) continue;
    const Text name = NameText(xml, fileSet);
    const std::uint32_t target = BranchToSequenceTarget(name);
    const std::vector<X::DOMElement*> list =
        ElementsNamed(static_cast<X::DOMElement*>(fileSet), xml.GetNamespaceURI(), N::kFileW);
    std::vector<X::DOMElement*> ordinary;
    std::vector<X::DOMElement*> references;
    for (XMLSize_t k = 0; k < list.size(); ++k) {
      auto* element = list[k];
      (IsProjectFileName(NameText(xml, element)) ? references : ordinary).push_back(element);
    }
    std::uint64_t counter = 1;  // runs on across both passes
    const auto handle = [&](X::DOMElement* element) {
      IFile* file = nullptr;
      if (!HandleFile(name, element, &file) || file == nullptr) return;
      if (AutoCast<ICompileOrder> order(file); order) {
        const std::vector<X::DOMElement*> inOrder = ElementsNamed(element, xml.GetNamespaceURI(), kInCompileOrder);
        if (inOrder.size() > 0 && boost::algorithm::iequals(ElementText(inOrder[0]).str(), "false")) {
          std::ignore = order->SetSequenceID(target, 0);
        } else {
          std::ignore = order->SetSequenceID(target, counter++);
        }
      }
      const std::vector<X::DOMElement*> include = ElementsNamed(element, xml.GetNamespaceURI(), kIncludeFile);
      if (include.size() > 0 && boost::algorithm::iequals(ElementText(include[0]).str(), "true")) {
        if (AutoCast<IHdlFileV3> flag(file); flag) std::ignore = flag->SetGlobalInclude(true);
      }
    };
    for (X::DOMElement* element : ordinary) handle(element);
    for (X::DOMElement* element : references) handle(element);
  }
  ReadBindings();
}

bool CXMLReader::HandleFile(const String& fileSet, X::DOMElement* element, IFile** file) {
  if (file != nullptr) *file = nullptr;
  if (!m_document || element == nullptr) return false;
  const XMLNamespaceHelper xml(m_document.get(), FileListNamespace());
  String path = ResolveProjectPath(NameText(xml, element));
  AutoRelease<IFileType> type = ProjectReferenceType(path, "HandleFile");
  AutoRelease<IHdlFile> added;
  const bool ok = AddFile(path, type.Get(), added) == kSuccess && added;
  if (ok) {
    ReadBranch(fileSet, added.Get(), element);
    if (file != nullptr) *file = AutoCast<IFile>(added.Get()).Get();  // borrowed: the project holds it
  }
  // The libraries are found or made even for a file the project refused.
  AutoCast<ISourceLibraryManager> libraries(m_project);
  const std::vector<X::DOMElement*> names = ElementsNamed(element, xml.GetNamespaceURI(), kLogicalName);
  for (XMLSize_t i = 0; libraries && i < names.size(); ++i) {
    const Text name = ElementText(names[i]);
    if (name.empty()) continue;
    AutoRelease<ISourceLibrary> library = FindOrCreateLibrary(libraries.Get(), name);
    if (library && ok) std::ignore = library->AddFileToLibrary(added.Get());
  }
  return ok;
}

// --- Which program made a project file -----------------------------------------------------

Text ProjectGeneratorOfFile(const Text& path) {
  if (!boost::algorithm::iequals(Port::FileName(path).GetExtension().str(), ".xhlc")) return "TarvisDSP";
  CXMLReader reader;
  Text generator;
  // A folder at the name is a project file off the disk, as a missing one is: nothing to read; a
  // FIFO or device would never end the read.
  if (!FileUtils::IsFolder(path) && !FileUtils::IsSpecialFile(path) && reader.ParseFile(path)) {
    reader.ReadVersion();
    reader.ReadProperties();
    std::ignore = reader.GetPropertyValue("Project Generator", &generator);
  }
  return generator.empty() ? Text("Corvane") : generator;
}

Text DetectProjectGenerator(CitI::IInterface* project) {
  AutoCast<IProject2> owner(project);
  Text path;
  if (owner) std::ignore = owner->GetProjectFilePath(&path);
  return ProjectGeneratorOfFile(path);
}

}  // namespace Hvd
