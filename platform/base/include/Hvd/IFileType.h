#pragma once
// The type of a source file, as the base services define it; it answers IDefDataId.

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IFileType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6b0f2d3e-8c41-4f7a-9e25-1d7c3a5b9f02}")

  // The ids of the design-unit types that files of this type hold, in the data's order; one
  // reference for the caller.
  virtual Hvd::Status GetDesignUnitTypeIds(IDefDataIdIterator** ids) = 0;
  // The key under which the plug-in configuration store keeps the parser set-up of files of
  // this type; empty when no parser reads them.
  virtual Hvd::Status GetPlugInKey(Port::StringBase<char>* key) = 0;
};

// The file types of the data store, found three ways; each hands out the type with one
// reference and answers 1, or 0 with a null type when there is none.
class IFileTypeStore : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{8e3f51a2-6c07-4b9d-a4e8-2f6d0c91b753}")

  // By an extension without its dot ("vhd"), as the types list them, in any letter case ("VHD").
  virtual Hvd::Status FindFileTypeByExtension(const Port::StringBase<char>& extension, IFileType** type) = 0;
  // The type that a definition id names.
  virtual Hvd::Status GetFileType(IDefDataId* id, IFileType** type) = 0;
  // By the key a project file's generator chooses ("hlcprojectfile", "tarvishlc", "moldrixhlc").
  virtual Hvd::Status FindFileTypeByKey(const Port::StringBase<char>& key, IFileType** type) = 0;
};

}  // namespace Hvd
