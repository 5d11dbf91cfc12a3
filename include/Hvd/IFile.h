#pragma once
// A source file of a project, as the project sees it.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IFileType.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

class IFile : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{A828BA00-CF8B-4056-950C-728692B60A9D}")

  // The file's type, which answers IDefDataId; one reference for the caller.
  virtual Hvd::Status GetFileType(IFileType** type) = 0;
  virtual Hvd::Status GetFileFlag(bool* flag) = 0;
  virtual Hvd::Status SetFileFlag(bool flag) = 0;
  // 0 added by the user, 1 and 3 added automatically (3: managed automatically).
  virtual Hvd::Status GetOriginState(std::uint32_t* state) = 0;
  // A change is sent as the file-changed event. A managed file that a source includes stays
  // managed when set to 0: it is then the user's, and becomes 0 when nothing includes it.
  virtual Hvd::Status SetOriginState(std::uint32_t state) = 0;
};

// What the project tells a file when it leaves the project.
class IFileInternal : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{417AEA00-8732-41cd-9D9F-3BFEE1CEB73D}")

  virtual Hvd::Status Remove() = 0;
};

// A file's place in the compile order, one sequence id per category 0 to 7.
class ICompileOrder : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{0FD54C4C-DA18-4EBE-AB3C-6D6AC3569599}")

  virtual Hvd::Status SetSequenceID(std::uint32_t kind, std::uint64_t value) = 0;
  virtual Hvd::Status GetSequenceID(std::uint32_t kind, std::uint64_t* value) = 0;
};

// The objects a file comes from (such as the child project that provides it), kept as
// autonyms.
class IOriginatorRef : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{DD3D6D91-B7BE-4678-AD33-66F1DAAF2C7B}")

  virtual Hvd::Status AddOriginator(CitI::IInterface* object) = 0;
  virtual Hvd::Status GetOriginatorIterator(Prjrep::IAutonymIterator** originators) = 0;
  // A new iterator over the originators, left at the one whose full path is `object`'s
  // (done when none is); 0 when `object` has no path.
  virtual Hvd::Status FindOriginator(CitI::IInterface* object, Prjrep::IAutonymIterator** at) = 0;
  virtual Hvd::Status GetOriginators(Prjrep::IAutonymSet** originators) = 0;
};

// The view classes a file belongs to, one bit each; views test them to decide whether they
// take the file.
class IViewClassAssociation : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{ae921b97-2ab6-4e7f-9c2f-0f646807f75d}")

  // The class is taken modulo 32.
  virtual Hvd::Status SetBit(std::uint32_t viewClass) = 0;
  virtual Hvd::Status ClearBit(std::uint32_t viewClass) = 0;
  // The mask reads as a signed number, so class 31 never tests as set.
  virtual bool TestBit(std::uint32_t viewClass) = 0;
};

// The places in the design graph (instance paths) that a file's units stand at, each once.
class IDesignGraphLocatorSet : public Prjrep::TISet<Port::StringBase<char>, Prjrep::IStringIterator> {
 public:
  CITI_DECLARE_IID("{F1107372-2895-44b6-9D1B-31CB64ED63BB}")

  using TISet::Remove;
  // Removes the locator equal to `locator`; an empty one is refused.
  virtual Hvd::Status Remove(const Port::StringBase<char>& locator) = 0;
  // Clears `found` first; an empty locator is refused.
  virtual Hvd::Status Contains(const Port::StringBase<char>& locator, bool* found) = 0;
};

}  // namespace Hvd
