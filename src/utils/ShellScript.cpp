#include "utils/ShellScript.h"


#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "Port/MessageText.h"
#include "Port/MsgMan.h"
#include "Port/Process.h"
#include "utils/FileUtils.h"

namespace Hvd {

namespace {

using String = Port::StringBase<char>;

std::mutex g_standInLock;
String g_standIn;

String Shell() {
  {
    const std::lock_guard<std::mutex> guard(g_standInLock);
    if (!g_standIn.empty()) return g_standIn;
  }
  return Port_Env::GetProgramFileName("velsh");
}

}  // namespace

ShellStandIn::ShellStandIn(const String& shell) {
  const std::lock_guard<std::mutex> guard(g_standInLock);
  g_standIn = shell;
}

ShellStandIn::~ShellStandIn() {
  const std::lock_guard<std::mutex> guard(g_standInLock);
  g_standIn = String();
}

bool RunShellScript(const String& name, std::string_view text) {
  if (name.empty() || name.str().find('/') != std::string::npos || name == "." || name == "..") return false;
  // By its full path: a velsh looked up through PATH could be any, even one in the working
  // directory through an empty entry.
  const String shell = Shell();
  if (shell.empty() || Port_Env::GetExecFileName(shell.c_str(), false).empty()) {
    const Port_MsgManData messages =
        Port_MsgManData::createObject("ProjectMgmt", "../src/ShellScript", __LINE__, "$Revision: 1.2 $");
    messages.issueError("The shell <%s> of this installation is not there: the script <%s> was not run.\n",
                        shell.empty() ? "velsh" : shell.c_str(), name.c_str());
    return false;
  }
  String folder;
  std::string token;
  if (FileUtils::CreateTempDirectory(folder, token) != kSuccess) return false;
  const String path = folder + "/" + name;
  const bool written = FileUtils::WriteNewFile(path, text);
  if (!written) {
    const String reason(std::strerror(errno));
    Port_MsgManData::debugStub(
        ("Could not write the script <" + Port::EscapeControls(path) + ">: " + reason + "\n").c_str());
  } else {
    std::ignore = Port::Process().Run(std::vector<String>{shell, path});
  }
  std::ignore = FileUtils::RemoveTempDirectory(folder, token);
  return written;
}

}  // namespace Hvd
