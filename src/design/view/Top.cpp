// The view's top: the top unit's name, the top instance's path in the netlist and the file of
// the top unit, chosen by the view from its hierarchy or set by the user. Only a major view keeps
// a top; every other view answers with its major view's.

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IProject.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "Prjrep/IName.h"
#include "childproject/ChildProjectHelp.h"
#include "core/Diagnostics.h"
#include "core/Events.h"
#include "design/view/CView.h"
#include "utils/DmUtils.h"
#include "utils/NetlistLookup.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

CITI_DEFINE_ID(TopInstanceChanged, "{764a3be1-14bc-45d2-beba-1bd819005626}")

constexpr std::string_view kTopExcludedTypes =
    "|DESUT_VHDL_PACKAGE_BODY|DESUT_VHDL_PACKAGE_DECL|DESUT_SYMBOL|DESUT_SPL|DESUT_BMM|DESUT_ELF|DESUT_UCF|DESUT_PCF|"
    "DESUT_CDC|DESUT_MEM|DESUT_VCD|DESUT_SDF|DESUT_EDIF_SUBMODULE|DESUT_MDX|DESUT_MOLDRIXHLC|DESUT_MDL|DESUT_TARVISHLC|";
constexpr std::string_view kLeafTypes =
    "|DESUT_VHDL_ENTITY|DESUT_VHDL_PACKAGE_BODY|DESUT_VHDL_PACKAGE_DECL|DESUT_SYMBOL|DESUT_SPL|DESUT_BMM|DESUT_ELF|"
    "DESUT_UCF|DESUT_PCF|DESUT_CDC|DESUT_MEM|DESUT_VCD|DESUT_SDF|";
constexpr std::string_view kLocatorTypes[] = {"DESUT_VHDL_PACKAGE_BODY", "DESUT_VHDL_PACKAGE_DECL", "DESUT_SYMBOL",
                                              "DESUT_SPL",  "DESUT_BMM",  "DESUT_ELF",  "DESUT_UCF",  "DESUT_PCF",
                                              "DESUT_CDC",  "DESUT_MEM",  "DESUT_VCD",  "DESUT_SDF",  "DESUT_CMD_LOG",
                                              "DESUT_WQD"};

bool IsTypeNameInList(std::string_view name, std::string_view list) {
  // The list is "|A|B|...|": a match is a whole entry between two bars.
  for (std::size_t at = 1; at < list.size();) {
    const std::size_t end = list.find('|', at);
    if (end == std::string_view::npos) break;
    if (list.substr(at, end - at) == name) return true;
    at = end + 1;
  }
  return false;
}

bool IsDesignUnitTypeInList(CitI::IInterface* unit, std::string_view list) {
  return IsTypeNameInList(std::string_view(GetDesignUnitTypeName(unit)), list);
}

bool IsLocatorDesignUnitType(CitI::IInterface* unit) {
  if (unit == nullptr) return false;
  const String type = GetDesignUnitTypeName(unit);
  return std::find(std::begin(kLocatorTypes), std::end(kLocatorTypes), std::string_view(type)) !=
         std::end(kLocatorTypes);
}

String UnitName(CitI::IInterface* unit) {
  String name;
  if (AutoCast<Prjrep::IName> named(unit); named) std::ignore = named->GetName(name);
  return name;
}

// What one search for the top learns once and asks again for each of the many roots: a design
// has few unit types and few libraries, so where each type stands in the two lists, and whether
// each library is "work", is worked out once. Libraries are held, so that no address is taken
// for another's; types are known by name, since every unit may have a type object of its own.
class TopSearchKnowledge {
 public:
  struct TypeLists {
    bool excluded = false;
    bool leaf = false;
  };

  TypeLists ListsOf(CitI::IInterface* unit) {
    AutoCast<IDesignUnit> designUnit(unit);
    AutoRelease<IDesignUnitType> type;
    if (designUnit) std::ignore = designUnit->GetDesignUnitType(type.Receive());
    AutoCast<IDefDataId> id(type.Get());
    // No type reads as the empty name, which no list holds.
    if (!id) return {};
    m_name = String();
    std::ignore = id->GetDefDataIdName(&m_name);
    const std::string_view name(m_name);
    for (const KnownType& known : m_types) {
      if (known.name == name) return known.lists;
    }
    const TypeLists lists{IsTypeNameInList(name, kTopExcludedTypes), IsTypeNameInList(name, kLeafTypes)};
    m_types.push_back({std::string(name), lists});
    return lists;
  }

  bool IsWorkLibrary(ISourceLibrary* library) {
    for (const KnownLibrary& known : m_libraries) {
      if (known.library.Get() == library) return known.work;
    }
    const bool work = UnitName(library) == "work";
    m_libraries.push_back({AutoPtr<ISourceLibrary>(library), work});
    return work;
  }

 private:
  struct KnownType {
    std::string name;
    TypeLists lists;
  };
  struct KnownLibrary {
    AutoPtr<ISourceLibrary> library;
    bool work = false;
  };
  String m_name;
  std::vector<KnownType> m_types;
  std::vector<KnownLibrary> m_libraries;
};

// Whether the project's file behind the parser's unit lies in the library "work"; `read` is set to
// that file when it was found.
bool CheckDUFileInWorkLibrary(CitI::IInterface* unit, TopSearchKnowledge& knowledge, CitI::IInterface** read) {
  const AutoRelease<IDesignUnit> own = GetDesignUnitOf(unit);
  if (!own) {
    Port_MsgManData::debugStub(
        "ERROR: View::CheckDUFileInWorkLibrary - Could not get the DDM DesignUnit for the provided HdlElement.\n");
    return false;
  }
  AutoCast<IHdlElement> element(own.Get());
  AutoRelease<IHdlFile> file;
  if (!element || element->GetHdlFile(file.Receive()) != kSuccess || !file) return false;
  *read = RootOf(file.Get());
  AutoCast<ISourceLibraryMember> member(file.Get());
  AutoRelease<ISourceLibrary> library;
  if (!member || member->GetLibrary(library.Receive()) != kSuccess || !library) return false;
  return knowledge.IsWorkLibrary(library.Get());
}

// Counts a node's children without a unit, and those whose unit is of a type outside the leaf
// list, until both have been seen. A VHDL entity is of a leaf type: a child entity counts in
// neither, whatever its architecture instantiates.
void CountChildren(IHdlNetListNode* node, TopSearchKnowledge& knowledge, int* unbound, int* instantiating) {
  AutoRelease<IHdlNetListNodeIterator> children;
  if (node->GetChildren(children.Receive()) != kSuccess || !children) return;
  for (std::ignore = children->First(); !children->IsDone() && (*unbound == 0 || *instantiating == 0);
       std::ignore = children->Next()) {
    AutoCast<IHdlNetListNode> child(children->CurrentItem());
    if (!child) continue;
    AutoRelease<CitI::IInterface> unit(child->GetDesignUnit());
    if (!unit) {
      ++*unbound;
    } else if (!knowledge.ListsOf(unit.Get()).leaf) {
      ++*unbound;
      ++*instantiating;
    }
  }
}

// VEL_CORVANE_ASSOCSRC as an unsigned number in any C base; 39 when unset or not a number.
std::uint32_t AssociationMask() {
  String text;
  if (!Port_Env::GetEnv("VEL_CORVANE_ASSOCSRC", text) || text.empty()) return 39;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, 0);
  return end != nullptr && *end == '\0' ? static_cast<std::uint32_t>(value) : 39;
}

std::vector<std::string> InstanceNames(const String& path) {
  std::vector<std::string> names;
  for (const String& part : path.Split("/")) {
    if (!part.empty()) names.push_back(part.str());
  }
  return names;
}

}  // namespace

String GetNodeDesignUnitName(IHdlNetListNode* node) {
  if (node == nullptr) return String();
  AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
  return UnitName(unit.Get());
}

Status CView::XIView::GetTopName(String* name) {
  if (name == nullptr)
    return Fail(kInvalidParameter, "ERROR: IView::GetTopName() - Invalid argument: the du name may not be NULL.\n");
  CView& self = This();
  if (IsMajorView(this)) {
    *name = self.GetTopDesignUnitName();
  } else if (AutoPtr<IView> major = self.GetMajorView(); major) {
    std::ignore = major->GetTopName(name);
  }
  return kSuccess;
}

Status CView::XIView::GetTopInstance(String* path) {
  if (path == nullptr)
    return Fail(kInvalidParameter,
                "ERROR: IView::GetTopInstance() - Invalid argument; pInstancePath may not be NULL.\n");
  *path = String();
  CView& self = This();
  if (!IsMajorView(this)) {
    if (AutoPtr<IView> major = self.GetMajorView(); major) std::ignore = major->GetTopInstance(path);
    return kSuccess;
  }
  *path = self.GetTopInstancePath();
  if (path->empty()) {
    String name;
    std::ignore = GetTopName(&name);
    if (!name.empty()) *path = String("/" + name.str());
  }
  return kSuccess;
}

Status CView::XIView::FindBestTopNode(IHdlNetListNode** node) {
  if (node == nullptr) return kInvalidParameter;
  *node = This().FindBestTopNode().Detach();
  return kSuccess;
}

Prjrep::AutoRelease<IHdlNetListNode> CView::FindBestTopNode() {
  if (!m_wrapper) return nullptr;
  AutoPtr<IView> keep(&m_XIView);
  AutoRelease<IHdlNetListNode> root;
  std::ignore = ParseHierarchy(root.Receive());
  AutoRelease<IHdlNetListNodeIterator> roots;
  if (!root || root->GetChildren(roots.Receive()) != kSuccess || !roots) return nullptr;
  const String top = GetTopDesignUnitName();
  int best = 0;
  AutoPtr<IHdlNetListNode> bestNode;
  const std::size_t topHash = std::hash<std::string_view>()(std::string_view(top));
  TopSearchKnowledge knowledge;
  std::vector<TopRootWeight>& weights = m_topRootWeightsNext;
  weights.clear();
  weights.reserve(m_topRootWeights.size() + 8);
  std::size_t kept = 0;  // where the last search's roots are met again
  for (std::ignore = roots->First(); !roots->IsDone(); std::ignore = roots->Next()) {
    CitI::IInterface* item = roots->CurrentItem();
    // A root met again stands where it stood, after a few that went.
    std::size_t at = kept;
    const std::size_t end = std::min(m_topRootWeights.size(), kept + 8);
    while (at < end && m_topRootWeights[at].item != item) ++at;
    if (at < end) {
      weights.push_back(std::move(m_topRootWeights[at]));
      kept = at + 1;
    } else {
      AutoCast<IHdlNetListNode> candidate(item);
      String instance;
      if (!candidate || candidate->GetInstanceName(&instance) != kSuccess || instance.empty()) continue;
      AutoRelease<CitI::IInterface> unit(candidate->GetDesignUnit());
      if (!unit) {
        Port_MsgManData::debugStub(
            "ERROR: CView::FindBestTopNode - A root-level HdlNetListNode does not contain an object.\n");
        continue;
      }
      String name = UnitName(unit.Get());
      if (name.empty()) continue;
      int score = knowledge.ListsOf(unit.Get()).excluded ? -1024 : 1;
      CitI::IInterface* file = nullptr;
      if (CheckDUFileInWorkLibrary(unit.Get(), knowledge, &file)) score += 2;
      int unbound = 0;
      int instantiating = 0;
      CountChildren(candidate.Get(), knowledge, &unbound, &instantiating);
      if (unbound > 0) score += 8;
      if (instantiating > 0) score += 16;
      const std::size_t nameHash = std::hash<std::string_view>()(std::string_view(name));
      weights.push_back(
          {item, score, nameHash,
           std::make_unique<TopRoot>(TopRoot{AutoPtr<IHdlNetListNode>(candidate.Get()), std::move(name.str()), file})});
    }
    const TopRootWeight& weight = weights.back();
    const bool isTop = weight.nameHash == topHash && weight.root->name == std::string_view(top);
    const int score = weight.score + (isTop ? 4 : 0);
    // Of equal scores the first stays chosen.
    if (score > best) {
      best = score;
      bestNode = weight.root->node.Get();
    }
  }
  m_topRootWeights.swap(weights);
  weights.clear();
  return AutoRelease<IHdlNetListNode>(Prjrep::AutoReturn<IHdlNetListNode>(bestNode.Get()).Get());
}

void CView::ForgetTopRootWeightsOf(CitI::IInterface* file) {
  if (!AutoCast<IHdlFile>(file)) {
    m_topRootWeights.clear();
    return;
  }
  CitI::IInterface* const root = RootOf(file);
  std::erase_if(m_topRootWeights,
                [root](const TopRootWeight& weight) { return weight.root && weight.root->file == root; });
}

// A parse that finds no node leaves the top as it was while the top's file is still the
// project's (gone from the disk for now, or only out of this view): an empty top would be saved.
// A top whose file the project no longer holds is no unit of the design, and one that the parse
// still finds is no root any more (units that instantiate each other): an open of the saved
// project finds none either way, so it goes.
void CView::UpdateTopUnit() {
  if (Port::SafeRead(m_batchCount) > 0 || !IsMajorView(&m_XIView)) return;
  AutoPtr<IView> keep(&m_XIView);
  if (GetAutoTop() && IsAbstractSynthesisView(&m_XIView)) {
    const AutoRelease<IHdlNetListNode> node = FindBestTopNode();
    if (!node) {
      if (TopFileLeftTheProject() || TopUnitParsed()) {
        std::ignore = WriteOwnSetting(ViewKey::kTopDuFile, String());
        std::ignore = SetTopDesignUnitName(String());
        std::ignore = SetTopInstancePath(String());
      }
      return;
    }
    const String name = GetNodeDesignUnitName(node.Get());
    const String path = CHdlNetListUtils::GetInstancePath(node.Get());
    AutoRelease<CitI::IInterface> unit(node->GetDesignUnit());
    AutoCast<IHdlElement> element(unit.Get());
    AutoRelease<IHdlFile> file;
    if (element && element->GetSourceFile(file.Receive()) == kSuccess && file) {
      String directory;
      String fileName;
      std::ignore = file->GetPath(&directory, &fileName);
      std::ignore = WriteOwnSetting(ViewKey::kTopDuFile, String(directory.str() + fileName.str()));
    }
    std::ignore = SetTopDesignUnitName(name);
    std::ignore = SetTopInstancePath(path);
    return;
  }
  if (!GetAutoCompileOrder()) {
    String name;
    std::ignore = m_XIView.GetTopName(&name);
    std::ignore = SetTopInstancePath(name.empty() ? String() : String("/" + name.str()));
    return;
  }
  if (const String path = GetConsistentTopInstancePath(); !path.empty()) std::ignore = SetTopInstancePath(path);
}

// A top with no file recorded (one a project file named) is not known to have left, nor is one
// of a project that is not open.
bool CView::TopFileLeftTheProject() {
  const String path = GetTopDuFile();
  if (path.empty() || GetTopDesignUnitName().empty()) return false;
  const AutoRelease<IProject> project = Project();
  bool open = false;
  if (!project || project->IsOpen(&open) != kSuccess || !open) return false;
  AutoCast<IFileManager> files(project.Get());
  AutoRelease<IHdlFileIterator> at;
  return files && files->FindFileByPath(path, at.Receive()) != kSuccess;
}

// Whether the view's parse holds a unit of the top's name: a unit the design still has.
bool CView::TopUnitParsed() {
  const String top = GetTopDesignUnitName();
  if (top.empty() || !m_wrapper) return false;
  AutoCast<IHdlElaborationData> data(m_wrapper->ParserProject());
  AutoRelease<CitI::IInterface> ports;
  return data && data->GetPorts(top.c_str(), ports.Receive()) == kSuccess && ports;
}

// The view let go of the file when it went off the disk, so it does not hear the file leave the
// project; the top found in it follows now, as at a removal the view hears.
void CView::FollowFileLeftWhileAway(const String& path) {
  if (path.empty() || !IsMajorView(&m_XIView) || !(GetTopDuFile() == path)) return;
  AutoPtr<IView> keep(&m_XIView);
  FollowDroppedFile();
}

// The stored path while the unit at it is the top unit; else the path of the top unit's node.
Port::StringBase<char> CView::GetConsistentTopInstancePath() {
  String path = GetTopInstancePath();
  const String top = GetTopDesignUnitName();
  const AutoRelease<IHdlNetListNode> atPath = FindViewNodeByInstancePath(&m_XIView, path);
  if (atPath && GetNodeDesignUnitName(atPath.Get()) == top) return path;
  const AutoRelease<IHdlNetListNode> ofUnit = FindTopUnitNode(top);
  if (const String found = CHdlNetListUtils::GetInstancePath(ofUnit.Get()); !found.empty()) path = found;
  return path;
}

// The node of the top unit, looked for only where the parser knows a unit of that name, and among
// the graph's tops first: a name no unit bears is in no node, and looking for it node by node
// through a hierarchy of a million nodes would make them all for nothing.
Prjrep::AutoRelease<IHdlNetListNode> CView::FindTopUnitNode(const String& top) {
  AutoCast<IHdlElaborationData> parser(m_wrapper ? m_wrapper->ParserProject() : nullptr);
  AutoRelease<CitI::IInterface> ports;
  if (parser && !top.empty() && parser->GetPorts(top.c_str(), ports.Receive()) != kSuccess) return nullptr;
  return FindViewTopByDuName(&m_XIView, top);
}

// Written as the view's own change: the refreshes it causes are only marked pending, and the
// event handler does not react to it.
Status CView::SetTopInstancePath(const String& path) {
  OwnWrite own(*this);
  if (path == GetTopInstancePath()) return kSuccess;
  m_topInstancePathCache = path;
  const Status status = WriteOwnSetting(ViewKey::kTopInstancePath, path);
  if (IsAbstractSynthesisView(&m_XIView)) std::ignore = SendEvent(&m_XIView, TopInstanceChanged(), &m_XIView);
  m_compileOrderDirty = true;
  return status;
}

Status CView::XIView::SetTopInstance(const String& path) {
  CView& self = This();
  if (!IsMajorView(this))
    return Fail(kFailure, "ERROR: IView::SetTopInstance() - This method is only supported on major views.\n");
  AutoPtr<IView> keep(this);
  if (path.empty()) {
    std::ignore = self.SetTopDesignUnitName(String());
    std::ignore = self.SetTopInstancePath(String());
    return kSuccess;
  }
  const std::vector<std::string> names = InstanceNames(path);
  String name;
  String stored = path;
  if (self.GetAutoCompileOrder()) {
    const AutoRelease<IHdlNetListNode> node = FindViewNodeByInstancePath(this, path);
    AutoRelease<CitI::IInterface> unit(node ? node->GetDesignUnit() : nullptr);
    if (!node) {
      if (!names.empty()) {
        name = names.front();
        stored = String("/" + name.str());
      }
    } else if (!unit) {
      std::ignore = node->GetInstanceName(&name);
    } else if (IsDesignUnitTypeInList(unit.Get(), kTopExcludedTypes)) {
      return Fail(kFailure, "ERROR - The design unit at the instance \"%s\" is not valid for top.\n", path.c_str());
    } else {
      name = UnitName(unit.Get());
    }
  } else if (!names.empty()) {
    // Without the hierarchy the path still names the top: its first instance is the top's.
    name = names.front();
  }
  std::ignore = self.WriteOwnSetting(ViewKey::kAutoTop, "false");

  if (IsAbstractSynthesisView(this)) {
    std::uint32_t mask = AssociationMask();
    if ((mask & 4U) != 0 && self.GetAutoCompileOrder() && ((mask & 16U) == 0 || names.size() >= 2)) {
      String locator = self.GetTopInstancePath();
      if ((mask & 32U) != 0) mask = names.size() < 2 ? (mask | 8U) : (mask & ~8U);
      String unitAtPrevious;
      if ((mask & 2U) != 0) {
        const AutoRelease<IHdlNetListNode> previous = FindViewNodeByInstancePath(this, locator);
        unitAtPrevious = GetNodeDesignUnitName(previous.Get());
        // No unit at the previous path: the path given now names the instance instead.
        locator = unitAtPrevious.empty() ? path : String("/" + unitAtPrevious.str());
      }
      if ((mask & 8U) != 0)
        locator = (mask & 2U) == 0 || unitAtPrevious.empty() ? path : String("/" + unitAtPrevious.str());
      self.AssignTopInstanceLocators(locator);
    }
  }
  std::ignore = self.SetTopDesignUnitName(name);
  std::ignore = self.SetTopInstancePath(stored);
  return kSuccess;
}

// The files of the view's units that belong to no instance (packages, constraints, memories)
// take the top instance as their place in the design graph, unless they have one already.
void CView::AssignTopInstanceLocators(const String& path) {
  if (path.empty()) return;
  for (const AutoPtr<IHdlDesignUnit>& unit : m_XIDesignUnitSet.Units()) {
    if (!AutoCast<IDesignUnit>(unit.Get()) || !IsLocatorDesignUnitType(unit.Get())) continue;
    AutoCast<IHdlElement> element(unit.Get());
    AutoRelease<IHdlFile> file;
    if (!element || element->GetHdlFile(file.Receive()) != kSuccess || !file) continue;
    AutoCast<IDesignGraphLocatorSet> locators(file.Get());
    if (locators && locators->Size() < 1) std::ignore = locators->Add(path);
  }
}

}  // namespace Hvd
