#pragma once
// A trace file written as a tree of elements with attributes.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class IDumper : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{a978b37f-f413-4632-990e-8e7d5dcca4f0}")

  // Opens `path` for appending and begins the root element; 1 when the file is open.
  virtual Hvd::Status Open(const Port::StringBase<char>& path) = 0;
  // Ends every open element, innermost first, and closes the file.
  virtual Hvd::Status Close() = 0;
  virtual Hvd::Status BeginElement(const Port::StringBase<char>& name) = 0;
  // Ends the innermost element; the root is ended only by Close.
  virtual Hvd::Status EndElement() = 0;
  // Only while the start tag of the innermost element is still open.
  virtual Hvd::Status AddAttribute(const Port::StringBase<char>& name, const Port::StringBase<char>& value) = 0;
  virtual Hvd::Status AddText(const Port::StringBase<char>& text) = 0;
  // Writes `text` as it is, unescaped.
  virtual void WriteRaw(const Port::StringBase<char>& text) = 0;
  virtual bool IsClosed() = 0;
};

}  // namespace Hvd
