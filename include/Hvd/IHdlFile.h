#pragma once
// A source file as the HDL side sees it: its path, its design units and its element.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IHdlDesignUnitIterator;
class IHdlParserConfig;

class IHdlFile : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7D72019D-90EF-4E4E-BCD9-A41DD3783D3F}")

  // Refreshes the file's state (stamp and time) from disk.
  virtual Hvd::Status CheckFileOnDisk() = 0;
  virtual Hvd::Status SetModified(bool modified) = 0;
  virtual Hvd::Status SetPath(const Port::StringBase<char>& directory, const Port::StringBase<char>& name) = 0;
  // Two strings that together name the file, as SetPath takes them.
  virtual Hvd::Status GetPath(Port::StringBase<char>* directory, Port::StringBase<char>* name) = 0;
  virtual Hvd::Status GetDesignUnits(IHdlParserConfig* config, IHdlDesignUnitIterator** units) = 0;
  virtual Hvd::Status GetParserName(Port::StringBase<char>* name) = 0;
  virtual Hvd::Status GetFileAddTarget(std::uint64_t* target) = 0;
  virtual Hvd::Status IsModified(bool* modified) = 0;
};

// A design unit's place in the HDL sources.
class IHdlElement : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{09411137-6791-4986-AA3C-43609908D0C7}")

  // The file that contains the element, with one reference; 1 when there is one.
  virtual Hvd::Status GetHdlFile(IHdlFile** file) = 0;
};

}  // namespace Hvd
