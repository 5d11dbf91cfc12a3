// The file's place in the compile order: its sequence ids of eight kinds and its 'global
// include' flag. A file generated from another project file (a core description, a wizard or a
// schematic) takes both from that file.

#include <algorithm>
#include <boost/algorithm/string/predicate.hpp>
#include <cctype>
#include <vector>

#include "Hvd/EventIds.h"
#include "Hvd/IFileManager.h"
#include "Port/FileName.h"
#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "files/file/CFile.h"
#include "utils/PropertyAccessor.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;

// Whether the project orders its files itself; a project without the property does.
bool AutomaticCompileOrder(IProject* project) {
  if (project == nullptr) return true;
  PropertyAccessor properties(project);
  const AutoRelease<IPropertyInstance> instance = properties.GetPropertyInstance("PROP_AutoCompileOrderImp");
  AutoCast<IBoolPropertyInstance> flag(instance.Get());
  bool automatic = true;
  if (!flag || flag->GetBool(&automatic) != kSuccess) return true;
  return automatic;
}

}  // namespace

Prjrep::AutoRelease<IHdlFile> CFile::FindSourceFile() {
  if (m_originState == kUserSource) {
    Prjrep::AddRefObject(&m_XIHdlFile);
    return AutoRelease<IHdlFile>(&m_XIHdlFile);
  }
  String extension;
  std::ignore = m_XIFileNameHelper.GetExtension(&extension);
  std::vector<const char*> sources;
  if (boost::algorithm::iequals(extension.str(), "v") || boost::algorithm::iequals(extension.str(), "vhd")) {
    sources = {"mdx", "kwz"};  // the core description, else the wizard file
  } else if (boost::algorithm::iequals(extension.str(), "vf") || boost::algorithm::iequals(extension.str(), "vhf")) {
    sources = {"sch"};
  } else {
    return nullptr;
  }
  const AutoRelease<IProject> project = Project();
  AutoCast<IFileManager> files(project.Get());
  if (!files) return nullptr;
  String fullName;
  std::ignore = m_XIFileNameHelper.GetFullName(&fullName);
  for (const char* source : sources) {
    const Port::FileName named(ChangeExtension(fullName, String(".") + source));
    Port::FileName absolute(named.GetAbsolutePath());
    AutoRelease<IHdlFile> found;
    if (files->FindFileCompFromName(absolute.MakeCanonical().GetPath(), found.Receive()) == kSuccess && found)
      return found;
  }
  if (AutoCast<IProjectInternal> internal(project.Get()); internal) {
    String shortName;
    std::ignore = m_XIFileNameHelper.GetShortName(&shortName);
    for (const char* source : sources) {
      AutoRelease<IHdlFile> found;
      if (internal->FindFileByNameParts(shortName, source, true, found.Receive()) && found) return found;
    }
  }
  return nullptr;
}

std::uint64_t CFile::SequenceId(std::uint32_t kind) const {
  if (m_sequenceIdsApart) return m_sequenceIdsApart[kind];
  return (m_kindsHoldingSequenceId >> kind) & 1u ? m_sequenceId : 0;
}

void CFile::StoreSequenceId(std::uint32_t kind, std::uint64_t value) {
  if (m_sequenceIdsApart) {
    m_sequenceIdsApart[kind] = value;
    return;
  }
  static_assert(kSequenceKinds <= 8, "one bit a kind");
  const auto bit = static_cast<std::uint8_t>(1u << kind);
  const auto others = static_cast<std::uint8_t>(m_kindsHoldingSequenceId & ~bit);
  if (value == 0) {
    m_kindsHoldingSequenceId = others;
  } else if (value == m_sequenceId || others == 0) {
    m_sequenceId = value;
    m_kindsHoldingSequenceId = others | bit;
  } else {
    auto apart = std::make_unique<std::uint64_t[]>(kSequenceKinds);
    for (std::uint32_t each = 0; each < kSequenceKinds; ++each) apart[each] = SequenceId(each);
    apart[kind] = value;
    m_sequenceIdsApart = std::move(apart);
  }
}

// A kind-0 id goes from one value to another only through 0.
Status CFile::XICompileOrder::SetSequenceID(std::uint32_t kind, std::uint64_t value) {
  CFile& self = This();
  if (kind >= kSequenceKinds) return Fail(kFailure, "Error: XICompileOrder::SetSequenceID - Invalid parameters.\n");
  const std::uint64_t stored = self.SequenceId(kind);
  if (kind == 0 && value != 0 && stored != 0)
    return Fail(kFailure, "Error: XICompileOrder::SetSequenceID - Must first set the kFileAddTarget to zero.\n");
  if (self.BoundAsInput()) return kFailure;
  if (value == stored) return kSuccess;
  self.StoreSequenceId(kind, value);
  // With the compile order kept by hand, the views must hear of the new place; the property is
  // not looked up for a file nothing listens to yet, as while a project is read.
  if (kind == 2 && self.m_eventSender.ReceiverCount() > 0 && !AutomaticCompileOrder(self.Project().Get()))
    std::ignore = SendEvent(&self.m_XIHdlFile, EventId::FileChanged(), &self.m_XIHdlFile);
  return kSuccess;
}

Status CFile::XICompileOrder::GetSequenceID(std::uint32_t kind, std::uint64_t* value) {
  CFile& self = This();
  if (kind >= kSequenceKinds) return Fail(kFailure, "Error: XICompileOrder::GetSequenceID - Invalid parameters.\n");
  if (value == nullptr) return kInvalidParameter;
  *value = self.SequenceId(kind);
  if (self.m_originState == kUserSource) return kSuccess;
  if (const AutoRelease<IHdlFile> source = self.FindSourceFile(); source) {
    if (AutoCast<ICompileOrder> order(source.Get()); order) std::ignore = order->GetSequenceID(kind, value);
  }
  return kSuccess;
}

Status CFile::XIHdlFile::GetFileAddTarget(std::uint64_t* target) {
  return This().m_XICompileOrder.GetSequenceID(0, target);
}

Status CFile::XIHdlFile::GetSequenceId(std::uint64_t* id) { return This().m_XICompileOrder.GetSequenceID(0, id); }

Status CFile::XIHdlFileV3::GetGlobalInclude(bool* globalInclude) {
  CFile& self = This();
  if (globalInclude == nullptr) return kInvalidParameter;
  *globalInclude = self.m_globalInclude;
  if (self.m_originState == kUserSource) return kSuccess;
  if (const AutoRelease<IHdlFile> source = self.FindSourceFile(); source) {
    if (AutoCast<IHdlFileV3> flags(source.Get()); flags) std::ignore = flags->GetGlobalInclude(globalInclude);
  }
  return kSuccess;
}

// A global include is read by every file that includes it, so it must be read as they are.
Status CFile::XIHdlFileV3::SetGlobalInclude(bool globalInclude) {
  CFile& self = This();
  if (self.BoundAsInput()) return kFailure;
  String own;
  std::ignore = self.m_XIHdlFile.GetParserName(&own);
  for (CFileRelationSet* parents : self.ParentSets()) {
    if (!parents) continue;
    for (const Prjrep::AutoPtr<IHdlFile>& parent : parents->Files()) {
      String theirs;
      std::ignore = parent->GetParserName(&theirs);
      if (theirs == own) continue;
      Port_MsgManData::createObject("ProjectMgmt", "../src/CFile", 1755, "$Revision: 1.57.16.1 $")
          .issueWarning(
              "Unable to set 'global include' file property because the file type does not match that of its "
              "parent.\n");
      return kFailure;
    }
  }
  if (globalInclude == self.m_globalInclude) return kSuccess;
  self.m_globalInclude = globalInclude;
  if (globalInclude && self.m_originState == kAutoManaged) self.m_originState = kUserSource;
  std::ignore = SendEvent(&self.m_XIHdlFile, EventId::FileChanged(), &self.m_XIHdlFile);
  return kSuccess;
}

}  // namespace Hvd
