#include "projectfiles/GeneratedProjectWriter.h"

#include <map>
#include <string>
#include <vector>
#include <xercesc/dom/DOMComment.hpp>
#include <xercesc/dom/DOMImplementation.hpp>
#include <xercesc/dom/DOMImplementationRegistry.hpp>

#include "Hvd/IDesign.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Port/FileName.h"
#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "core/AtomicFile.h"
#include "projectfiles/GhlcNames.h"
#include "projectfiles/ViewNetworkWalker.h"
#include "projectfiles/XMLNamespaceHelper.h"
#include "projectfiles/XhlcText.h"
#include "projectfiles/XmlNames.h"
#include "utils/DmUtils.h"
#include "utils/KeyedProperty.h"
#include "utils/XmlSerializer.h"

namespace X = xercesc;

namespace Hvd {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using Text = Port::StringBase<char>;
namespace G = GhlcNames;
namespace N = XmlNames;

Text GhlcNumber(std::int64_t value) { return Text(std::to_string(value)); }

GeneratedProjectWriter::GeneratedProjectWriter(const String& outputPath, IProject* project, const String& folder)
    : m_outputPath(outputPath),
      m_folder(folder.empty() ? Port::FileName(outputPath).GetHead() : folder),
      m_project(project),
      m_outputDirectory(outputPath, true) {
  if (!Xml::StartPlatform()) return;
  X::DOMImplementation* implementation = X::DOMImplementationRegistry::getDOMImplementation(u"LS");
  if (implementation == nullptr) return;
  // The root is made without a namespace; its declarations put everything below it in the
  // project namespace.
  m_document.reset(implementation->createDocument(nullptr, G::kGeneratedProjectW, nullptr));
  m_root = m_document->getDocumentElement();
}

GeneratedProjectWriter::~GeneratedProjectWriter() = default;

Status GeneratedProjectWriter::SetFileMap(CitI::IInterface* fileMap) {
  m_fileMap = fileMap;
  if (fileMap != nullptr && !m_fileMap) {
    Port_MsgManData::debugStub("ERROR: GeneratedProjectWriter::SetFileMap - the object given is no file map.\n");
    return kMissingInterface;
  }
  return kSuccess;
}

// A copy's file is written where the copy has it: a file that the flow made or brought into
// the working directory under the copy's working directory, any other where the map puts it.
Text GeneratedProjectWriter::MakeFileName(CitI::IInterface* file) const {
  Text name;
  if (!m_fileMap) {
    // As RelativeHdlFileName: the written form of the directory, then the name.
    AutoCast<IHdlFile> hdl(file);
    if (!hdl) return name;
    Text directory;
    Text leaf;
    std::ignore = hdl->GetPath(&directory, &leaf);
    auto known = m_directoryForms.find(directory);
    if (known == m_directoryForms.end()) {
      Text prefix;
      RelativeName(m_outputDirectory, directory, Text(), prefix);
      known = m_directoryForms.emplace(directory, prefix).first;
    }
    return known->second + leaf;
  }
  Text directory;
  Text leaf;
  if (AutoCast<IHdlFile> hdl(file); !hdl || hdl->GetPath(&directory, &leaf) != kSuccess) return name;
  const Text key = directory + leaf;
  if (key.empty()) return name;
  std::uint32_t state = 0;
  if (AutoCast<IFile> origin(file); origin) std::ignore = origin->GetOriginState(&state);
  Text mapped;
  const bool working = (state == 1 || state == 2) && m_fileMap->IsFromSourceWorkingDir(key);
  if ((working ? m_fileMap->MapWorkingFileName(key, &mapped, state == 1) : m_fileMap->MapFileName(key, &mapped, false)) !=
          kSuccess ||
      mapped.empty())
    mapped = key;
  NormalizeFileName(m_outputDirectory, mapped, name);
  return name;
}

void GeneratedProjectWriter::WriteHeader() {
  for (const char* line : G::kHeaderComments)
    m_root->appendChild(m_document->createComment(Xml::XmlText(line).get()));
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  xml.SetNamespaceDeclaration(m_root);
  xml.SetNamespacePrefixDeclaration(m_root, N::kAttributePrefix, N::kNamespaceUriW);

  X::DOMElement* version = xml.CreateElement(N::kVersionW);
  xml.AppendText(version, G::kVersionText);
  m_root->appendChild(version);

  Text projectFile;
  if (AutoCast<IProject2> project(m_project.Get()); project) std::ignore = project->GetProjectFilePath(&projectFile);
  Text written;
  if (!projectFile.empty()) NormalizeFileName(m_outputDirectory, projectFile, written);
  X::DOMElement* source = xml.CreateElement(G::kSourceProjectW);
  SetPrefixedAttribute(xml, source, N::kNameW, written);
  SetPrefixedAttribute(xml, source, G::kFileTypeW, Text(G::kSourceProjectType));
  m_root->appendChild(source);

  m_files = xml.CreateElement(N::kFilesW);
  m_root->appendChild(m_files);
  m_transforms = xml.CreateElement(G::kTransformsW);
  m_root->appendChild(m_transforms);
}

void GeneratedProjectWriter::WriteFiles() {
  AutoCast<IFileManager> manager(m_project.Get());
  AutoRelease<IHdlFileIterator> files;
  if (!manager || manager->GetProjectFiles(files.Receive()) != kSuccess || !files) return;
  // By written name; of two files with one name the later is written. Only a generated or
  // imported file is written: where there is none, as in a project of sources alone, no name
  // needs working out.
  std::vector<IFile*> all;
  bool anyWritten = false;
  for (; !files->IsDone(); std::ignore = files->Next()) {
    AutoCast<IFile> file(files->Current());
    if (!file) continue;
    all.push_back(file.Get());
    std::uint32_t state = 0;
    anyWritten = anyWritten || (file->GetOriginState(&state) == kSuccess && state != 0 && state != 3);
  }
  if (!anyWritten) return;
  std::map<Text, IFile*> named;
  for (IFile* file : all) named[MakeFileName(file)] = file;
  for (const auto& [name, file] : named) WriteFile(file, name);
}

void UpdateFileBranches(CitI::IInterface* file) {
  AutoCast<IDesignUnit> unit(file);
  AutoCast<IViewClassAssociation> marks(file);
  if (!unit || !marks) return;
  AutoRelease<IViewIterator> views;
  if (unit->GetViews(views.Receive()) != kSuccess || !views) {
    for (std::uint32_t mark = 0; mark < std::size(G::kMarks); ++mark) std::ignore = marks->ClearBit(mark);
    return;
  }
  for (; !views->IsDone(); std::ignore = views->Next()) {
    const Text branch = GetKeyedPropertyValue(views->Current(), "BRANCH");
    const Text subBranch = GetKeyedPropertyValue(views->Current(), "SUBBRANCH");
    for (std::uint32_t mark = 0; mark < std::size(G::kMarks); ++mark) {
      const Text& value = mark < G::kFirstSubBranchMark ? branch : subBranch;
      if (value == G::kMarks[mark].viewValue) std::ignore = marks->SetBit(mark);
    }
  }
}

void GeneratedProjectWriter::WriteFile(IFile* file, const String& name) {
  std::uint32_t state = 0;
  if (file == nullptr || file->GetOriginState(&state) != kSuccess || state == 0 || state == 3) return;
  // A file that another project made is this project's only as a child project's file. The
  // search answers failure when it finds no match, so only its iterator tells: one run to its
  // end found none; no iterator at all passes the file.
  if (AutoCast<IOriginatorRef> originators(file); originators) {
    AutoRelease<Prjrep::IAutonymIterator> at;
    std::ignore = originators->FindOriginator(m_project.Get(), at.Receive());
    if (at && at->IsDone() && !IsProjectFileType(file)) return;
  }
  const XMLNamespaceHelper xml(m_document.get(), N::kNamespaceUriW);
  X::DOMElement* element = xml.CreateElement(N::kFileW);
  m_files->appendChild(element);
  SetPrefixedAttribute(xml, element, N::kNameW, name);
  AutoRelease<IFileType> type;
  if (file->GetFileType(type.Receive()) == kSuccess && type) {
    if (const Text typeName = GetDefDataIdName(type.Get()); !typeName.empty())
      SetPrefixedAttribute(xml, element, G::kFileTypeW, typeName);
  }
  // A generated file carries no origination: the reader takes "generated" when none is given.
  if (state == 2) SetPrefixedAttribute(xml, element, G::kOriginationW, Text(G::kImported));
  if (state > 3) SetPrefixedAttribute(xml, element, G::kOriginationW, Text(G::kUser));

  UpdateFileBranches(file);
  AutoCast<IViewClassAssociation> marks(file);
  if (!marks) return;
  std::vector<std::uint32_t> branches;
  for (std::uint32_t mark = 0; mark < G::kFirstSubBranchMark; ++mark) {
    if (marks->TestBit(mark)) branches.push_back(mark);
  }
  if (branches.size() == 1) {
    SetPrefixedAttribute(xml, element, G::kBranchW, Text(G::kMarks[branches.front()].written));
  } else {
    for (const std::uint32_t mark : branches) {
      X::DOMElement* child = xml.CreateElement(G::kBranchW);
      SetPrefixedAttribute(xml, child, N::kNameW, Text(G::kMarks[mark].written));
      element->appendChild(child);
    }
  }
  for (std::uint32_t mark = G::kFirstSubBranchMark; mark < std::size(G::kMarks); ++mark) {
    if (!marks->TestBit(mark)) continue;
    SetPrefixedAttribute(xml, element, G::kSubBranchW, Text(G::kMarks[mark].written));
    break;
  }
}

void GeneratedProjectWriter::WriteTransforms() {
  TransformRecorder recorder(m_project.Get(), m_transforms, m_document.get(), m_outputDirectory, *this);
  recorder.Walk();
}

Status GeneratedProjectWriter::Render(std::string& bytes) {
  if (!m_document || m_root == nullptr) return NotWritten("the XML platform is not available");
  if (m_files != nullptr) return NotWritten("the writer was used already");
  WriteHeader();
  WriteFiles();
  WriteTransforms();
  static constexpr XMLCh kCrLf[] = u"\r\n";
  Xml::SerializeOptions options;
  options.newLine = kCrLf;
  options.namespaces = true;
  std::string message;
  if (Xml::SerializeDocument(m_document.get(), bytes, &message, options) != kSuccess) return NotWritten(message);
  return kSuccess;
}

Status GeneratedProjectWriter::Write(std::string* written) {
  std::string bytes;
  if (const Status rendered = Render(bytes); rendered != kSuccess) return rendered;
  // Written on every save, even with the same bytes: other tools take the file's time as the
  // time of the last save. Written beside the file and renamed over it, so that a failed write
  // leaves the old file.
  std::string message;
  if (WriteOwnFileAtomically(m_outputPath.str(), bytes, m_folder.str(), &message) != kSuccess) return NotWritten(message);
  if (written != nullptr) *written = std::move(bytes);
  return kSuccess;
}

Status GeneratedProjectWriter::NotWritten(const std::string& why) const {
  Port_MsgManData::debugStub(Port::FormatMessage("Error: GeneratedProjectWriter::Write - \"%s\" is not written: %s\n",
                                                 m_outputPath.c_str(), why.c_str())
                                 .c_str());
  return kFailure;
}

}  // namespace Hvd
