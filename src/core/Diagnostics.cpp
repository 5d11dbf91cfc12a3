#include "core/Diagnostics.h"

#include "Port/MsgMan.h"

namespace Hvd {

Status Fail(Status status, const char* text) {
  Port_MsgManData::debugStub(text);
  return status;
}

Status Fail(Status status, const std::string& text) { return Fail(status, text.c_str()); }

}  // namespace Hvd
