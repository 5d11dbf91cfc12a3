// The visible sections of a statistics file as HTML tables, for the suite's own viewer. The
// text comes from a file, so it is escaped wherever it lands.

#include "projectfiles/metrion/XmlReader.h"

namespace MtnC {

namespace {

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// A type becomes part of a tag name, where nothing can be escaped: other characters than
// letters, digits, "_", "-" and "." become "_".
std::string TagPart(const std::string& type) {
  std::string out = type;
  for (char& c : out) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                       c == '-' || c == '.';
    if (!plain) c = '_';
  }
  return out;
}

std::string Cell(const UsageStatRecord& record) {
  const std::string x = record.type.empty() ? std::string() : TagPart(record.type) + "-";
  return "<TD><vtag-" + x + "property-name>" + EscapeHtml(record.name) + "</vtag-" + x + "property-name>=<vtag-" + x +
         "property-value>" + EscapeHtml(record.value) + "</vtag-" + x + "property-value></TD>\n";
}

}  // namespace

std::string XmlReader::RenderHtml() const {
  std::string html;
  for (const auto& [name, tables] : m_visible) {
    const std::string section = EscapeHtml(name);
    html += "\n&nbsp;<BR><TABLE BORDER CELLSPACING=0 WIDTH='100%'>\n";
    html += "<vtag-section name=\"" + section + "\">\n";
    bool titled = false;
    for (const UsageStatTable& table : tables) {
      std::size_t columns = 4;
      std::string span = "4";
      if (!table.empty()) {
        const UsageStatRecord& first = table.front();
        const bool property = first.kind == UsageStatRecord::Kind::Property;
        if (property) {
          columns = 2;
          span = "2";
        }
        if (!titled) {
          html += "<TR ALIGN=CENTER BGCOLOR='#99CCFF'><TD COLSPAN=" + span + "><B>" + section + "</B></TD></TR>\n";
          titled = true;
        }
        if (property) {
          html += "<TR>\n" + Cell(first);
        } else {
          html += "<TR ALIGN=CENTER><TD COLSPAN=" + span + "><B>" + EscapeHtml(first.name);
          if (!first.value.empty()) html += "=<vtag-item-value>" + EscapeHtml(first.value) + "</vtag-item-value>";
          html += "</B></TD></TR>\n";
        }
      }
      std::size_t counter = 0;
      if (columns == 2) {
        counter = 1;
      } else {
        html += "<TR>\n";
      }
      for (std::size_t i = 1; i < table.size(); ++i) {
        if (counter > 0 && counter % columns == 0) html += "\n</TR><TR>";
        html += Cell(table[i]);
        ++counter;
      }
    }
    html += "</TR></vtag-section></TABLE>\n";
  }
  return html;
}

}  // namespace MtnC
