#include "TclText.h"

#include <climits>

namespace velsh {
namespace {

// Tcl's own "utf-8" encoding joins a surrogate pair into one four-byte character going out and
// splits one coming in. Kept for the process, like the interpreter.
Tcl_Encoding Utf8() {
  static const Tcl_Encoding s_utf8 = Tcl_GetEncoding(nullptr, "utf-8");
  return s_utf8;
}

}  // namespace

std::string FromTcl(Tcl_Obj* value) {
  int length = 0;
  const char* text = Tcl_GetStringFromObj(value, &length);
  Tcl_DString external;
  Tcl_UtfToExternalDString(Utf8(), text, length, &external);
  std::string result(Tcl_DStringValue(&external), static_cast<std::size_t>(Tcl_DStringLength(&external)));
  Tcl_DStringFree(&external);
  return result;
}

Tcl_Obj* ToTcl(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) text = text.substr(0, INT_MAX);
  Tcl_DString internal;
  Tcl_ExternalToUtfDString(Utf8(), text.data(), static_cast<int>(text.size()), &internal);
  Tcl_Obj* value = Tcl_NewStringObj(Tcl_DStringValue(&internal), Tcl_DStringLength(&internal));
  Tcl_DStringFree(&internal);
  return value;
}

}  // namespace velsh
