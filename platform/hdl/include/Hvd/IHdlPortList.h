#pragma once
// The generics, parameters and ports of a design unit as the HDL parser reads them from the unit's
// declaration; the parser project hands them out through IHdlElaborationData::GetPorts.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

// The lists of a unit's interface. The context holds the clauses its declarations may need: VHDL
// library, use and context clauses, SystemVerilog package imports.
enum class HdlPortSection : std::uint32_t { kContext = 0, kGenerics = 1, kPorts = 2 };

class IHdlPortList : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5a16dac0-3828-4a07-a6e1-ab03d4f6f80f}")

  // How many entries `section` holds.
  virtual std::uint32_t GetCount(HdlPortSection section) = 0;
  // The entry at `index` of `section`, its texts as written: a context clause whole, in `name`; a
  // generic, parameter or port its name, mode (a port's direction, a Verilog parameter's keyword, a
  // VHDL generic's class when it is no constant), type or width, Verilog unpacked dimensions and
  // default value, each empty when not written. Any output may be null.
  virtual Hvd::Status GetEntry(HdlPortSection section, std::uint32_t index, Port::StringBase<char>* name,
                               Port::StringBase<char>* mode, Port::StringBase<char>* type,
                               Port::StringBase<char>* dims, Port::StringBase<char>* value) = 0;
  // Verilog: true when the ports are declared in the unit's header, false when the header only names
  // them and the body declares them.
  virtual bool IsAnsi() = 0;
  // False when the parser cut a list short at its bounds.
  virtual bool IsComplete() = 0;
};

}  // namespace Hvd
