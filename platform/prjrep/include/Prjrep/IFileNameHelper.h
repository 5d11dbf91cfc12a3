#pragma once
// The repository's path-name component: a path with a base directory for relative forms.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Prjrep {

class IFileNameHelper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FA5E7073-3DF3-4e72-9A04-BC21A13DD24C}")

  // Callers that count QueryInterface and the destructor as 0 and 1 number these from 2
  // (SetPathInDirectory) to 13 (IsInsideBase).

  // Sets the base directory, then the path as SetPath does.
  virtual Hvd::Status SetPathInDirectory(const Port::StringBase<char>& path, const Port::StringBase<char>& second,
                                           const Port::StringBase<char>& baseDirectory) = 0;
  // `second`, when not empty, is a further name part joined onto `path`.
  virtual Hvd::Status SetPath(const Port::StringBase<char>& path, const Port::StringBase<char>& second) = 0;
  virtual Hvd::Status SetBaseDirectory(const Port::StringBase<char>& directory) = 0;
  virtual Hvd::Status GetBaseDirectory(Port::StringBase<char>* directory) = 0;
  // `directory` joined with the path's part relative to the base directory.
  virtual Hvd::Status GetPathOnDirectory(const Port::StringBase<char>& directory, Port::StringBase<char>* path) = 0;
  // The directory the path lies in.
  virtual Hvd::Status GetDirectory(Port::StringBase<char>* directory) = 0;
  virtual Hvd::Status GetFullName(Port::StringBase<char>* path) = 0;
  // The path relative to the base directory ("../" steps), empty when there is none.
  virtual Hvd::Status GetRelativeName(Port::StringBase<char>* path) = 0;
  virtual Hvd::Status GetOsPath(Port::StringBase<char>* path) = 0;
  // The path's last component.
  virtual Hvd::Status GetShortName(Port::StringBase<char>* name) = 0;
  // Without the dot.
  virtual Hvd::Status GetExtension(Port::StringBase<char>* extension) = 0;
  virtual Hvd::Status IsInsideBase(bool* inside) = 0;
};

}  // namespace Prjrep
