#pragma once
// The diagnostic dumper and the trace calls that write into a dumper found by name.

#include <fstream>
#include <list>
#include <set>
#include <string>

#include "Hvd/ClassIds.h"
#include "Hvd/IDumper.h"
#include "Port/StringBase.h"
#include "core/Interface.h"
#include "core/RefCount.h"

namespace Hvd {

// Writes a trace file as plain-text elements with attributes, appending to what the file
// already holds. Every write does nothing while the file is closed. Element and attribute
// names must be XML names, and an element's attribute names distinct: others are refused.
class DumperComp : public TComponent<DumperComp, IDumper> {
 public:
  static const Port::XUID& GetCLSID() { return ClassId::DumperComp(); }

  DumperComp() = default;
  DumperComp(const DumperComp&) = delete;
  DumperComp& operator=(const DumperComp&) = delete;
  // Leaves the open elements unterminated: only Close ends them.
  ~DumperComp() override = default;

  auto QueryTable() {
    return Table(Row<IDumper>(this), Row<CitI::IInterface>(this), Row<Prjrep::IRefCount>(&m_refCount));
  }

  Hvd::Status Open(const Port::StringBase<char>& path) override;
  Hvd::Status Close() override;
  Hvd::Status BeginElement(const Port::StringBase<char>& name) override;
  // Ends the innermost element; 0 when only the root "Dumper" is left open.
  Hvd::Status EndElement() override;
  Hvd::Status AddAttribute(const Port::StringBase<char>& name, const Port::StringBase<char>& value) override;
  Hvd::Status AddText(const Port::StringBase<char>& text) override;
  void WriteRaw(const Port::StringBase<char>& text) override;
  bool IsClosed() override;

 private:
  void Write(const std::string& text);
  void EndInnermost();
  // Completes a start tag still waiting for its ">".
  void CloseStartTag();

  std::list<Port::StringBase<char>> m_elements;  // names, innermost last
  std::set<std::string> m_attributeNames;        // those of the innermost element
  bool m_startTagOpen = false;
  std::ofstream m_stream;
  Prjrep::TRefCountHelper<DumperComp> m_refCount{this};
};

// --- Trace calls ------------------------------------------------------------------------
// Each finds the dumper registered under `dumperName` in the named-object registry and
// does nothing when there is none. Results of the dumper are not looked at.

// A "note" element with "timestamp" and "message".
void DumpNote(const Port::StringBase<char>& dumperName, const Port::StringBase<char>& message);
// A "note" element with "timestamp" and the attribute `attributeName`.
void DumpNoteAttribute(const Port::StringBase<char>& dumperName, const Port::StringBase<char>& attributeName,
                       const Port::StringBase<char>& value);
// Opens a "task" element named `taskName` and writes its "begin_marker"; the task stays open.
void DumpBeginMarker(const Port::StringBase<char>& dumperName, const Port::StringBase<char>& taskName);
// Writes an "end_marker" and ends the innermost open element, normally the task.
void DumpEndMarker(const Port::StringBase<char>& dumperName);

// Nests everything traced during its lifetime inside one "task" element.
class ScopedDumpMarker {
 public:
  ScopedDumpMarker(const Port::StringBase<char>& dumperName, const Port::StringBase<char>& taskName);
  ScopedDumpMarker(const ScopedDumpMarker&) = delete;
  ScopedDumpMarker& operator=(const ScopedDumpMarker&) = delete;
  ~ScopedDumpMarker();

  // Backslashes in the message or value are written as '/', so paths read alike.
  void Note(const Port::StringBase<char>& message) const;
  void NoteAttribute(const Port::StringBase<char>& attributeName, const Port::StringBase<char>& value) const;

 private:
  Port::StringBase<char> m_dumperName;
};

// The audit records placed around project and configuration operations. They write
// nothing and look nothing up, so they cost nothing and cannot fail.
class AuditRecord {
 public:
  AuditRecord(const Port::StringBase<char>& logName, const Port::StringBase<char>& recordName) {}
  void Note(const Port::StringBase<char>& text) {}
  void SetAttribute(const Port::StringBase<char>& name, const Port::StringBase<char>& value) {}

 private:
  Port::StringBase<char> m_text;
};

}  // namespace Hvd
