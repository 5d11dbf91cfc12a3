#pragma once

#include <vector>

#include "Hvd/ClassIds.h"
#include "Port/StringBase.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Keys under which a view keeps its settings.
namespace ViewKey {
extern const Port::StringBase<char> kTopDesignUnit;
extern const Port::StringBase<char> kTopDuFile;
extern const Port::StringBase<char> kTopInstancePath;
extern const Port::StringBase<char> kAutoTop;
extern const Port::StringBase<char> kAutoCompileOrder;
extern const Port::StringBase<char> kQuorlin;
extern const Port::StringBase<char> kQuorlinFileName;
extern const Port::StringBase<char> kFilterFilesFromCompileOrder;
extern const Port::StringBase<char> kBranch;
extern const Port::StringBase<char> kSubBranch;
extern const Port::StringBase<char> kQlbVerilogMacros;
extern const Port::StringBase<char> kQlbVeriIncludeDir;
extern const Port::StringBase<char> kOvraVerilogMacros;
extern const Port::StringBase<char> kOvraVeriIncludeDir;
extern const Port::StringBase<char> kDisableAutoHierRegen;
extern const Port::StringBase<char> kVhdlSourceAnalysisStandard;
}  // namespace ViewKey

// All setting keys of a view, in the order in which settings are listed.
const std::vector<Port::StringBase<char>>& ViewSettingKeys();

// One view of a design: its files, design units, compile order and top module.
class CView : public TComponent<CView> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::View(); }

  auto QueryTable() { return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<CitI::IInterface>(this)); }

 private:
  Prjrep::TRefCountHelper<CView> m_refCount{this};
};

}  // namespace Hvd
