#include "pr/helper/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "Port/MsgMan.h"
#include "Port/StringBase.h"

namespace Hvd::prhelper {
namespace {

constexpr const char* kSource = "../src/CPRHelper";
constexpr const char* kRevision = "$Revision: 1.12 $";

std::string FormatV(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size <= 0) return std::string();
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<std::size_t>(size));
  return text;
}

}  // namespace

Status Report(int line, const char* reason, const char* signature) {
  const std::string quoted = std::string("\"") + (reason ? reason : "") + "\"";
  Port::StringBase<char> text;
  text.Format("ERROR: %s(%i) : %s in function:\n'%s'.\n", kSource, line, quoted.c_str(), signature ? signature : "");
  Port_MsgManData::debugStub(text.c_str());
  return kFailure;
}

void UserError(int line, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  Port_MsgManData::createObject("ProjectMgmt", kSource, line, kRevision).issueError("%s", text.c_str());
}

void UserWarning(int line, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  Port_MsgManData::createObject("ProjectMgmt", kSource, line, kRevision).issueWarning("%s", text.c_str());
}

}  // namespace Hvd::prhelper
