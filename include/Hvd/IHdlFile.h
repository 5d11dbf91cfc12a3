#pragma once
// A source file as the HDL side sees it: its path, its design units and its element.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

class IHdlDesignUnitIterator;
class IHdlParserConfig;

class IHdlFile : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{7D72019D-90EF-4E4E-BCD9-A41DD3783D3F}")

  // Refreshes the file's state (stamp and time) from disk.
  virtual std::uint64_t CheckFileOnDisk() = 0;
  virtual std::uint64_t SetModified(bool modified) = 0;
  virtual std::uint64_t SetPath(const Port::StringBase<char>& directory, const Port::StringBase<char>& name) = 0;
  // Two strings that together name the file, as SetPath takes them.
  virtual std::uint64_t GetPath(Port::StringBase<char>* directory, Port::StringBase<char>* name) = 0;
  virtual std::uint64_t GetDesignUnits(IHdlParserConfig* config, IHdlDesignUnitIterator** units) = 0;
  virtual std::uint64_t GetParserName(Port::StringBase<char>* name) = 0;
  virtual std::uint64_t GetFileAddTarget(std::uint64_t* target) = 0;
  virtual std::uint64_t IsModified(bool* modified) = 0;
};

// A design unit's place in the HDL sources.
class IHdlElement : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{09411137-6791-4986-AA3C-43609908D0C7}")

  // The file that contains the element, with one reference; 1 when there is one.
  virtual std::uint64_t GetHdlFile(IHdlFile** file) = 0;
};

}  // namespace Hvd
