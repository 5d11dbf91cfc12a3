#include "pr/helper/Diagnostics.h"

#include <cstdarg>
#include <string>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"

namespace Hvd::prhelper {
namespace {

constexpr const char* kSource = "../src/CPRHelper";
constexpr const char* kRevision = "$Revision: 1.12 $";

}  // namespace

Status Report(int line, const char* reason, const char* signature) {
  const std::string quoted = std::string("\"") + (reason ? reason : "") + "\"";
  const std::string text = Port::FormatMessage("ERROR: %s(%i) : %s in function:\n'%s'.\n", kSource, line,
                                               quoted.c_str(), signature ? signature : "");
  Port_MsgManData::debugStub(text.c_str());
  return kFailure;
}

void UserError(int line, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = Port::FormatMessageV(format, args);
  va_end(args);
  Port_MsgManData::createObject("ProjectMgmt", kSource, line, kRevision)
      .issueComposed(Port_MsgManData::Severity::Error, text);
}

void UserWarning(int line, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = Port::FormatMessageV(format, args);
  va_end(args);
  Port_MsgManData::createObject("ProjectMgmt", kSource, line, kRevision)
      .issueComposed(Port_MsgManData::Severity::Warning, text);
}

}  // namespace Hvd::prhelper
