#pragma once
// A file's membership in one source library; the project's files and the HDL parser's files
// answer it.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"

namespace Hvd {

class ISourceLibrary;

class ISourceLibraryMember : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{E35A170C-4453-4b4c-96F9-82F43A65BCCD}")

  // The file's library with one reference; null when it has none.
  virtual Hvd::Status GetLibrary(ISourceLibrary** library) = 0;
  // Moves the file into `library` (may be null).
  virtual Hvd::Status SetLibrary(ISourceLibrary* library) = 0;
};

// What a library that is read back uses of its members, without checks or events.
class ISourceLibraryMemberInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{DE39DD91-391F-4a63-B148-048A45E98BA3}")

  // Holds `library`, which lists the file already, as the file's library without asking it
  // and without announcing it; the library held before forgets the file.
  virtual Hvd::Status AdoptLibrary(ISourceLibrary* library) = 0;
};

}  // namespace Hvd
