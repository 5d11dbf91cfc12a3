#include "core/Diagnostics.h"

#include <cstdarg>

#include "Port/MsgMan.h"
#include "Port/StringBase.h"

namespace Hvd {

Status Fail(Status status, const char* format, ...) {
  Port::StringBase<char> text;
  std::va_list args;
  va_start(args, format);
  text.FormatV(format, args);
  va_end(args);
  Port_MsgManData::debugStub(text.c_str());
  return status;
}

}  // namespace Hvd
