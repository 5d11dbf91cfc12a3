// A new, empty project source file, from a fixed text.

#include <string>

#include "Port/MsgMan.h"
#include "Port/Version.h"
#include "core/AtomicFile.h"
#include "core/Diagnostics.h"
#include "projectfiles/XmlNames.h"
#include "projectfiles/projectinfo/CProjectInfo.h"

namespace Hvd {

namespace {

// A value between double quotes: the product version is the host's, not ours to trust.
std::string Quoted(const std::string& value) {
  std::string out = "\"";
  for (const char c : value) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string CProjectInfo::NewProjectFileText() {
  const std::string uri = Quoted(XmlNames::kNamespaceUri);
  std::string text;
  const auto line = [&text](const std::string& content) { text += content + "\n"; };
  line("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>");
  line("<project xmlns=" + uri + " xmlns:vel_kv=" + uri + ">");
  line("");
  line("<header>");
  line("<!-- HLC source project file created by Corvane.             -->");
  line("<!--                                                                   -->");
  line("<!-- This file contains project source information including a list of -->");
  line("<!-- project source files, project and process properties.  This file, -->");
  line("<!-- along with the project source files, is sufficient to open and    -->");
  line("<!-- implement in HLC Corvane.                               -->");
  line("<!--                                                                   -->");
  line("</header>");
  line("");
  line("<version vel_kv:hlc_version=" + Quoted(Port::Version::getValue("version").str()) +
       " vel_kv:schema_version=\"2\"/>");
  for (const char* rest : {"", "<files>", "</files>", "", "<properties>", "</properties>", "", "<bindings/>", "",
                           "<libraries/>", "", "</project>"})
    line(rest);
  return text;
}

// The file is replaced as a whole, and a write that fails says so.
Status CProjectInfo::XIProjectInfo::WriteNewProjectFile(const String& path) {
  if (path.empty()) return Fail(kFailure, "IProjectInfo::WriteNewProjectFile - no path given\n");
  std::string message;
  if (WriteFileAtomically(path.str(), NewProjectFileText(), &message) == kSuccess) return kSuccess;
  return Fail(kFailure, "IProjectInfo::WriteNewProjectFile - %s: %s\n", path.c_str(), message.c_str());
}

}  // namespace Hvd
