#include "Port/MsgMan.h"

#include <cstdio>
#include <mutex>

#include "Port/MessageText.h"

namespace {

struct Sink {
  std::mutex lock;
  std::vector<Port_MsgManData::Record> records;
  bool showDebug = false;
};

Sink& TheSink() {
  static Sink s_sink;
  return s_sink;
}

const char* Label(Port_MsgManData::Severity severity) {
  switch (severity) {
    case Port_MsgManData::Severity::Error: return "Error";
    case Port_MsgManData::Severity::Warning: return "Warning";
    case Port_MsgManData::Severity::Info: return "Info";
    case Port_MsgManData::Severity::Status: return "Status";
    case Port_MsgManData::Severity::Debug: break;
  }
  return "Debug";
}

void Keep(Port_MsgManData::Record record) {
  Sink& sink = TheSink();
  std::lock_guard<std::mutex> guard(sink.lock);
  // Each message ends its line, so that the next one starts its own.
  const char* end = !record.text.empty() && record.text.back() == '\n' ? "" : "\n";
  if (record.severity == Port_MsgManData::Severity::Debug) {
    if (sink.showDebug && !record.text.empty()) std::fprintf(stderr, "%s%s", record.text.c_str(), end);
  } else {
    std::fprintf(stderr, "%s (%s): %s%s", Label(record.severity), record.category.c_str(), record.text.c_str(), end);
  }
  // The sink is for tests; a long session keeps only its recent history.
  constexpr std::size_t kKeep = 10000;
  if (sink.records.size() >= 2 * kKeep) sink.records.erase(sink.records.begin(), sink.records.end() - kKeep);
  sink.records.push_back(std::move(record));
}

}  // namespace

Port_MsgManData Port_MsgManData::createObject(const char* category, const char* source, int line,
                                              const char* revision) {
  return Port_MsgManData(category ? category : "", source ? source : "", line, revision ? revision : "");
}

void Port_MsgManData::Issue(Severity severity, const char* format, std::va_list args) const {
  issueComposed(severity, Port::FormatMessageV(format, args));
}

void Port_MsgManData::issueComposed(Severity severity, const std::string& text) const {
  Keep(Record{severity, m_category, m_source, m_line, m_revision, text});
}

#define PORT_MSGMAN_ISSUE(name, severity)                     \
  void Port_MsgManData::name(const char* format, ...) const { \
    std::va_list args;                                        \
    va_start(args, format);                                   \
    Issue(severity, format, args);                            \
    va_end(args);                                             \
  }

PORT_MSGMAN_ISSUE(issueError, Severity::Error)
PORT_MSGMAN_ISSUE(issueWarning, Severity::Warning)
PORT_MSGMAN_ISSUE(issueInfo, Severity::Info)
PORT_MSGMAN_ISSUE(issueStatus, Severity::Status)

void Port_MsgManData::debugStub(const char* text) {
  Keep(Record{Severity::Debug, "", "", 0, "", text ? text : ""});
}

void Port_MsgManData::ShowDebug(bool shown) {
  Sink& sink = TheSink();
  std::lock_guard<std::mutex> guard(sink.lock);
  sink.showDebug = shown;
}

bool Port_MsgManData::DebugShown() {
  Sink& sink = TheSink();
  std::lock_guard<std::mutex> guard(sink.lock);
  return sink.showDebug;
}

std::vector<Port_MsgManData::Record> Port_MsgManData::Captured() {
  Sink& sink = TheSink();
  std::lock_guard<std::mutex> guard(sink.lock);
  return sink.records;
}

void Port_MsgManData::ClearCaptured() {
  Sink& sink = TheSink();
  std::lock_guard<std::mutex> guard(sink.lock);
  sink.records.clear();
}

Port_MsgManInit::Port_MsgManInit() { TheSink(); }
