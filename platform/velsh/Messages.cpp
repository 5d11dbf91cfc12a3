#include "Messages.h"

#include "TclText.h"

#include <algorithm>
#include <cstdio>
#include "Port/MessageText.h"
#include "Port/MsgMan.h"

namespace velsh {
namespace {

using Severity = Port_MsgManData::Severity;

// A developer line that reports a failure, as "ERROR: Scope - sentence": the sentence. Lines
// that report anything else, and those that name the function they come from, say nothing a
// user can act on.
std::string SentenceOf(const std::string& line) {
  const bool error = line.rfind("ERROR:", 0) == 0 || line.rfind("Error:", 0) == 0;
  if (!error || line.find(" in function:") != std::string::npos) return std::string();
  const std::size_t dash = line.find(" - ");
  std::string sentence = dash == std::string::npos ? line.substr(6) : line.substr(dash + 3);
  return sentence.substr(std::min(sentence.find_first_not_of(' '), sentence.size()));
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The named statuses a command can meet, in words.
std::string StatusWords(Hvd::Status status) {
  struct Named {
    Hvd::Status status;
    const char* words;
  };
  static const Named kNamed[] = {
      {Hvd::kNotSupported, "it is not supported"},
      {Hvd::kInvalidParameter, "a value given is not valid"},
      {Hvd::kDirectoryWriteFailed, "a folder could not be written"},
      {Hvd::kCleanupFailed, "the clean-up failed"},
      {Hvd::kTempDirNotCreated, "no temporary folder could be made"},
      {Hvd::kProjectNotOpen, "the project is not open"},
      {Hvd::kProjectReadOnly, "the project is read-only"},
      {Hvd::kComponentNotCreated, "a component it needs could not be created"},
      {Hvd::kMissingInterface, "a component it needs is missing"},
      {Hvd::kZipNotFound, "no zip program was found"},
      {Hvd::kMigrationCancelled, "the migration was cancelled"},
      {Hvd::kMigrationFailed, "the migration failed"},
      {Hvd::kNotAStaticProject, "the project is a flavor's or a configuration's"},
      {Hvd::kProjectNotOpened, "the project could not be opened"},
  };
  for (const Named& named : kNamed)
    if (named.status == status) return named.words;
  char code[32];
  std::snprintf(code, sizeof code, "0x%016llx", static_cast<unsigned long long>(Hvd::CodeOf(status)));
  return std::string("the library answered status ") + code;
}

void Line(std::string& to, const std::string& text) {
  to += text;
  if (!text.empty() && text.back() != '\n') to += '\n';
}

}  // namespace

std::string Shown(std::string_view name) { return Port::EscapeControls(name); }

int Error(Tcl_Interp* interp, const std::string& message) {
  Tcl_SetObjResult(interp, ToTcl(message));
  return TCL_ERROR;
}

int Usage(Tcl_Interp* interp, const char* usage) {
  return Error(interp, std::string("wrong # args: should be \"") + usage + "\"");
}

std::string Unexplained(const std::string& what, Hvd::Status status) {
  std::string sentences;
  for (const auto& record : Port_MsgManData::Captured())
    if (record.severity == Severity::Debug) Line(sentences, SentenceOf(record.text));
  const std::string told = Trimmed(sentences);
  return !told.empty() ? told : what + " failed: " + StatusWords(status);
}

int Failed(Tcl_Interp* interp, const std::string& what, Hvd::Status status, const std::string& why, bool errorsFirst) {
  std::string errors;
  std::string rest;
  std::string sentences;
  std::string developer;
  const bool shown = Port_MsgManData::DebugShown();
  for (const auto& record : Port_MsgManData::Captured()) {
    if (record.severity != Severity::Debug) {
      Line(errorsFirst && record.severity == Severity::Error ? errors : rest, record.text);
    } else {
      if (shown) Line(developer, record.text);
      Line(sentences, SentenceOf(record.text));
    }
  }
  // The failures the library told only its developer follow what it told the user.
  std::string message = Trimmed(errors + rest);
  const std::string told = !why.empty() ? why : Trimmed(sentences);
  if (!told.empty()) message += (message.empty() ? "" : "\n") + told;
  if (message.empty()) message = what + " failed: " + StatusWords(status);
  if (!developer.empty()) message += "\n" + Trimmed(developer);
  Tcl_SetObjResult(interp, ToTcl(message));
  return TCL_ERROR;
}

int Done(Tcl_Interp* interp) {
  Tcl_ResetResult(interp);
  return TCL_OK;
}

}  // namespace velsh
