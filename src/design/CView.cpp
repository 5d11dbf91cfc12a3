#include "design/CView.h"

#include "core/Interface.h"

namespace Hvd {

namespace ViewKey {
const Port::StringBase<char> kTopDesignUnit("TOPDESIGNUNIT");
const Port::StringBase<char> kTopDuFile("TOPDUFILE");
const Port::StringBase<char> kTopInstancePath("TOPINSTANCEPATH");
const Port::StringBase<char> kAutoTop("AUTOTOP");
const Port::StringBase<char> kAutoCompileOrder("AUTOCOMPILEORDER");
const Port::StringBase<char> kQuorlin("QUORLIN");
const Port::StringBase<char> kQuorlinFileName("QUORLINFILENAME");
const Port::StringBase<char> kFilterFilesFromCompileOrder("FILTERFILESFROMCOMPILEORDER");
const Port::StringBase<char> kBranch("BRANCH");
const Port::StringBase<char> kSubBranch("SUBBRANCH");
const Port::StringBase<char> kQlbVerilogMacros("QLBVERILOGMACROS");
const Port::StringBase<char> kQlbVeriIncludeDir("QLBVERIINCLUDEDIR");
const Port::StringBase<char> kOvraVerilogMacros("OVRAVERILOGMACROS");
const Port::StringBase<char> kOvraVeriIncludeDir("OVRAVERIINCLUDEDIR");
const Port::StringBase<char> kDisableAutoHierRegen("DISABLEAUTOHIERREGEN");
const Port::StringBase<char> kVhdlSourceAnalysisStandard("VHDLSOURCEANALYSISSTANDARD");
}  // namespace ViewKey

const std::vector<Port::StringBase<char>>& ViewSettingKeys() {
  // Built once, on first use; BRANCH and SUBBRANCH come before the compile-order filter here.
  using namespace ViewKey;
  static const std::vector<Port::StringBase<char>> s_keys{
      kTopDesignUnit,    kTopDuFile,          kTopInstancePath,   kAutoTop,
      kAutoCompileOrder, kQuorlin,            kQuorlinFileName,   kBranch,
      kSubBranch,        kFilterFilesFromCompileOrder, kQlbVerilogMacros, kQlbVeriIncludeDir,
      kOvraVerilogMacros, kOvraVeriIncludeDir, kDisableAutoHierRegen, kVhdlSourceAnalysisStandard};
  return s_keys;
}

}  // namespace Hvd
