#pragma once
// The host's message manager: user messages by severity, and the developer's debug output.
// User messages are written to standard error; developer lines only when they are asked for.
// Everything is kept in a capture sink that tests and the shell's error results read.

#include <cstdarg>
#include <string>
#include <vector>

class Port_MsgManData {
 public:
  enum class Severity { Debug, Error, Warning, Info, Status };

  struct Record {
    Severity severity;
    std::string category;
    std::string source;
    int line;
    std::string revision;
    std::string text;
  };

  // A message source: category (such as "ProjectMgmt"), source file, line and revision.
  static Port_MsgManData createObject(const char* category, const char* source, int line, const char* revision);

  void issueError(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issueWarning(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issueInfo(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issueStatus(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  // The values of %s above are written with their control characters escaped (Port/MessageText.h),
  // so a name keeps to its line. A message composed beforehand with Port::FormatMessage, or of
  // escaped parts, is issued as it is, its own newlines kept.
  void issueComposed(Severity severity, const std::string& text) const;

  // One developer diagnostic, written as given when developer lines are shown.
  static void debugStub(const char* text);
  // Developer lines go to standard error only while shown; they are off until a host asks.
  static void ShowDebug(bool shown);
  static bool DebugShown();

  // The capture sink: everything issued since the last clear, oldest first.
  static std::vector<Record> Captured();
  static void ClearCaptured();

 private:
  Port_MsgManData(std::string category, std::string source, int line, std::string revision)
      : m_category(std::move(category)), m_source(std::move(source)), m_line(line), m_revision(std::move(revision)) {}
  void Issue(Severity severity, const char* format, std::va_list args) const;

  std::string m_category;
  std::string m_source;
  int m_line = 0;
  std::string m_revision;
};

// Keeps the message manager ready for the static objects of the including source file.
class Port_MsgManInit {
 public:
  Port_MsgManInit();
};
static Port_MsgManInit s_portMsgManInit;
