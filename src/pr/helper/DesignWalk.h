#pragma once
// The walk over the elaborated HDL hierarchy that divides a design's source files between
// the static project and a flavor's project: files used at or below the partition's instance
// path, and files used anywhere else.

#include <string>
#include <unordered_set>
#include <vector>

#include "CitI/IInterface.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IProject.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "core/Holders.h"

namespace Hvd::prhelper {

// File keys in the order they were first recorded, with a quick membership test.
class FileKeyList {
 public:
  void Append(const Port::StringBase<char>& key) {
    m_keys.push_back(key);
    m_members.insert(key.str());
  }
  void AppendUnlessPresent(const Port::StringBase<char>& key) {
    if (!Contains(key)) Append(key);
  }
  bool Contains(const Port::StringBase<char>& key) const { return m_members.count(key.str()) != 0; }
  const std::vector<Port::StringBase<char>>& Keys() const noexcept { return m_keys; }

 private:
  std::vector<Port::StringBase<char>> m_keys;
  std::unordered_set<std::string> m_members;
};

// Visits every node below a top node, parents before children, each with its parent's path.
class WalkHdlDesignGraph {
 public:
  WalkHdlDesignGraph() = default;
  WalkHdlDesignGraph(const WalkHdlDesignGraph&) = delete;
  WalkHdlDesignGraph& operator=(const WalkHdlDesignGraph&) = delete;
  virtual ~WalkHdlDesignGraph() = default;

  // The top node itself is not visited; its children are the top-level instances.
  void WalkFromTop(IHdlNetListNode* top);
  void Walk(IHdlNetListNode* node, bool topLevel, const Port::StringBase<char>& parentPath);

 protected:
  virtual void Visit(IHdlNetListNode* node, bool topLevel, const Port::StringBase<char>& parentPath) = 0;
};

// "/" and the instance names from the top down; a nameless top-level node is named after its
// design unit; a nameless node below the top has no path.
Port::StringBase<char> BuildNodePath(IHdlNetListNode* node, const Port::StringBase<char>& parentPath);

// Records the files below the partition (used at or under its instance) and above it.
class RecordAboveBelow final : public WalkHdlDesignGraph {
 public:
  RecordAboveBelow(const Port::StringBase<char>& instancePath, FileKeyList& below, FileKeyList& above);

  // 0: the partition instance itself; 1: below it; 2: elsewhere.
  int Classify(const Port::StringBase<char>& path) const;
  // The file key of the partition instance's own unit; empty until it is visited.
  const Port::StringBase<char>& OwnFile() const noexcept { return m_ownFile; }
  // The partition instance's node; null until it is visited.
  IHdlNetListNode* PartitionNode() const noexcept { return m_partitionNode.Get(); }

 protected:
  void Visit(IHdlNetListNode* node, bool topLevel, const Port::StringBase<char>& parentPath) override;

 private:
  Port::StringBase<char> m_instancePath;
  FileKeyList& m_below;
  FileKeyList& m_above;
  std::uint32_t m_instancePathLength;
  Port::StringBase<char> m_ownFile;
  Prjrep::AutoPtr<IHdlNetListNode> m_partitionNode;
};

// The top of a design's elaborated netlist, held together with the elaboration data it
// belongs to, so that the nodes stay alive for as long as this is held.
struct ElaboratedTop {
  Prjrep::AutoRelease<IHdlElaborationData> data;
  Prjrep::AutoRelease<IHdlNetListNode> top;
};
// From the design's synthesis view; empty when any step is missing.
ElaboratedTop GetElaboratedTop(CitI::IInterface* design);

// Walks from `top`, warns when the partition's own file is also used outside it, and fills
// `result` with the files used only inside the partition plus the partition's own file.
Status CollectPartitionFiles(IHdlNetListNode* top, const Port::StringBase<char>& instancePath, FileKeyList& below,
                             FileKeyList& result);
// The same over the static project's design.
Status CollectPartitionFiles(const Port::StringBase<char>& instancePath, IProject* staticProject, FileKeyList& below,
                             FileKeyList& result);
// Hands the partition's files over from the static project and adds them to the flavor's.
Status DistributePartitionFiles(const Port::StringBase<char>& instancePath, IProject* staticProject,
                                IProject* flavorProject);

}  // namespace Hvd::prhelper
