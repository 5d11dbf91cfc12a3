#pragma once
// The reader of the embedded-platform tool's project file: the files that the platform uses.

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"

namespace Hvd {

class IZmrFileReader : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{FAC7F25D-BCA7-45c9-81DC-84482974ABCC}")

  // Reads the file; 1 when it gave a document, else 0 and no document (a document read
  // before is dropped).
  virtual Hvd::Status Load(const Port::StringBase<char>& path) = 0;
  // A new iterator over the URLs of the document's "File" elements that serve `purpose`, with
  // one reference. Before a successful Load the iterator is empty and the result a failure.
  virtual Hvd::Status GetFiles(const Port::StringBase<char>& purpose, Prjrep::IStringIterator** files) = 0;
};

}  // namespace Hvd
