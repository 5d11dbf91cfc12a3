#pragma once
// The usage-statistics file "metrion_<application>.xml": one element per line, built as text in
// memory and written in one go. XmlReader reads the same format back.

#include <string>

namespace MtnC {

class XmlWriter {
 public:
  // The file is "<directory>/metrion_<application>.xml", or "metrion_<application>.xml" in the
  // current directory when `directory` is empty.
  XmlWriter(const std::string& application, const std::string& directory);
  explicit XmlWriter(const std::string& application);
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  // The caller writes the header first, pairs every begin with its end and writes the file
  // last; the nesting is not checked.
  void WriteHeader();
  void BeginSection(const std::string& name, bool visible);
  void EndSection();
  void BeginItem(const std::string& name);
  void EndItem();
  // Without the type attribute when `type` is empty.
  void AddProperty(const std::string& name, const std::string& value, const std::string& type);
  // Closes the document and replaces the file with the text through a temporary beside it, so
  // a failed write leaves the old file whole. False when the file could not be written; the
  // text stays in memory either way; `message` (when given) then says which step failed.
  bool WriteFile(std::string* message = nullptr);

  const std::string& FileName() const noexcept { return m_fileName; }
  const std::string& Text() const noexcept { return m_buffer; }

 private:
  // Appends "<tag name="N"", then for a property tag its value and type and "/>", for any
  // other tag a plain ">". `extra` comes before the end of an opening tag.
  void WriteElement(const char* tag, const std::string& name, const std::string& value, const std::string& type,
                    const char* extra = "");
  void WriteClosing(const char* tag);

  std::string m_buffer;
  std::string m_application;
  std::string m_fileName;
  std::string m_folder;  // what the file belongs to; the current folder when empty
};

// `text` as attribute content that every XML reader reads back to the same text: markup
// characters and the white space that attribute normalization would change become references.
// What XML 1.0 cannot hold at all (most control characters, bytes that are not UTF-8) is
// written as the visible text "\xNN".
std::string EscapeAttribute(const std::string& text);

}  // namespace MtnC
