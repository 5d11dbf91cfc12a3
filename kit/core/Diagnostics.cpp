#include "core/Diagnostics.h"

#include <cstdarg>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"

namespace Hvd {

Status Fail(Status status, const char* format, ...) {
  // The names in a developer line are escaped as in a user's message: velsh gives its sentence
  // in errors too.
  std::va_list args;
  va_start(args, format);
  const std::string text = Port::FormatMessageV(format, args);
  va_end(args);
  Port_MsgManData::debugStub(text.c_str());
  return status;
}

}  // namespace Hvd
