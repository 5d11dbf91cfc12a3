#pragma once
// What a save needs of the project source file once the open is done reading it, without the
// parsed document: an outline (every section but the entries of the files section, where the
// save compares sections), those entries in a compact text that the writer compares with the
// entries it would write, and the file's bytes while a save may need them. A save parses the
// bytes again only when it writes entries it cannot build from its own records. The parsed
// document of a large project is many times the size of all three.

#include <memory>
#include <string>
#include <xercesc/dom/DOMDocument.hpp>

#include "utils/XmlPlatform.h"

namespace Hvd {

class XhlcSnapshot {
 public:
  // Of `document`, parsed from `bytes`; null (and `bytes` left as it was) when the document
  // has no document element, cannot be copied, or is in an encoding other than UTF-8.
  // `canonicalEntries`, when given, are the file entries, every one canonical, already encoded
  // (and taken), as the parse read them in place of the section's nodes.
  static std::unique_ptr<XhlcSnapshot> Make(xercesc::DOMDocument* document, std::string& bytes,
                                            std::string* canonicalEntries = nullptr);

  XhlcSnapshot(const XhlcSnapshot&) = delete;
  XhlcSnapshot& operator=(const XhlcSnapshot&) = delete;
  ~XhlcSnapshot();

  // The outline, named (document URI) by the file it stands for.
  xercesc::DOMDocument* Outline() const noexcept { return m_outline.get(); }
  // The whole document parsed again, named as the outline; null when it does not parse, or
  // when the entries are canonical, as then the bytes are not kept.
  Xml::DocumentPtr Parse() const;
  // The file entries as the writer encodes them; meaningful only when comparable (every entry
  // has a form the writer can write).
  const std::string& Entries() const noexcept { return m_entries; }
  bool EntriesComparable() const noexcept { return m_comparable; }
  // Every entry stands exactly as a save writes it: built again, it is written the same.
  bool EntriesCanonical() const noexcept { return m_comparable && m_canonical; }
  // The outline handed over to be written into; Written gives the snapshot its state back.
  Xml::DocumentPtr TakeOutline() noexcept { return std::move(m_outline); }

  // The whole document kept instead of the outline, after a write whose bytes are not known
  // (or that failed); the save then works on it as on the document read at open.
  xercesc::DOMDocument* Whole() const noexcept { return m_whole.get(); }

  // After a write of `document`: `written` the bytes that were written, or null when they are
  // not known or the write failed, in which case the document itself is kept; `entries` the
  // file entries written, encoded, or null when the files section was left as it was.
  void Written(Xml::DocumentPtr document, std::string* written, std::string* entries);
  // After a failed write into the outline: it is the outline again, standing for no file.
  void Unwritten(Xml::DocumentPtr outline);
  // The file changed on disk: the snapshot stands for no file, so the next save compares with
  // the file as it is then.
  void ForgetFile();

 private:
  XhlcSnapshot() = default;
  // The document without the entries of its files section; null when it cannot be copied.
  static Xml::DocumentPtr OutlineOf(xercesc::DOMDocument* document);
  // Lets the bytes go when no save will parse them again.
  void KeepBytesIfNeeded();

  std::string m_bytes;
  Xml::DocumentPtr m_outline;
  std::string m_entries;
  bool m_comparable = false;
  bool m_canonical = false;
  Xml::DocumentPtr m_whole;
};

}  // namespace Hvd
