#pragma once
// Reads a usage-statistics file (the format of XmlWriter) with the SAX2 parser, keeps its
// sections in memory, looks values up and renders the visible sections as HTML tables.

#include <list>
#include <map>
#include <string>
#include <vector>
#include <xercesc/sax2/DefaultHandler.hpp>

namespace MtnC {

struct UsageStatRecord {
  enum class Kind { Item, Property };
  Kind kind = Kind::Property;
  std::string name;
  std::string value;
  std::string type;
};

using UsageStatTable = std::vector<UsageStatRecord>;

class XmlReader : public xercesc::DefaultHandler {
 public:
  // A section's tables in file order: the records up to the end of the first item, then after
  // each item's end those up to the end of the next one, and the records after the last item.
  using TableList = std::list<UsageStatTable>;
  using SectionMap = std::map<std::string, TableList>;

  // Reads the file at once. A file that is missing, too large or does not parse leaves what
  // was read before the fault; nothing is reported.
  explicit XmlReader(const std::string& fileName);
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;
  ~XmlReader() override;

  void startDocument() override;
  // Ends the parse: a statistics file has no document type.
  void startDTD(const XMLCh* name, const XMLCh* publicId, const XMLCh* systemId) override;
  void startElement(const XMLCh* uri, const XMLCh* localName, const XMLCh* qualifiedName,
                    const xercesc::Attributes& attributes) override;
  void endElement(const XMLCh* uri, const XMLCh* localName, const XMLCh* qualifiedName) override;

  // The value of the first property that matches, visible sections first; empty when none
  // does. With an item name, only the tables that begin with an item whose name begins with
  // `item` are searched. A property matches when `property` begins with its name.
  std::string GetValue(const std::string& section, const std::string& item, const std::string& property) const;

  // The visible sections in name order as HTML tables; empty when there is none.
  std::string RenderHtml() const;

  const SectionMap& VisibleSections() const noexcept { return m_visible; }
  const SectionMap& HiddenSections() const noexcept { return m_hidden; }

 private:
  void Parse(const std::string& fileName);

  SectionMap m_visible;
  SectionMap m_hidden;
  // Where the next records go; null outside a section.
  TableList* m_section = nullptr;
  UsageStatTable* m_table = nullptr;
};

}  // namespace MtnC
