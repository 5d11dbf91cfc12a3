// The project's configuration directory and its filter file. File-system errors become a
// failed status with a message: nothing is thrown through the interface.

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "Port/MsgMan.h"
#include "core/Diagnostics.h"
#include "projectfiles/projectinfo/CProjectInfo.h"
#include "utils/FileStamp.h"

namespace Hvd {

namespace fs = std::filesystem;
using Text = Port::StringBase<char>;

namespace {

constexpr const char* kConfigDirectory = "hlcconfig";
constexpr const char* kFilterFile = "filter.file";

std::string Joined(std::string directory, const char* name) {
  if (directory.empty() || (directory.back() != ':' && directory.back() != '/')) directory += '/';
  return directory + name;
}

}  // namespace

Status CProjectInfo::XIProjectInfo::GetConfigDir(const String& projectDirectory, String* directory) {
  if (directory != nullptr) directory->str().clear();
  if (directory == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetConfigDir - no output given\n");
  std::error_code error;
  const std::string given = MakeSlashPath(projectDirectory.c_str());
  const fs::path project = given.empty() ? fs::path() : fs::absolute(given, error);
  const bool exists = !project.empty() && !error && fs::exists(project, error);
  if (error)
    return Fail(kFailure, "IProjectInfo::GetConfigDir - cannot examine %s: %s\n", projectDirectory.c_str(),
                error.message().c_str());
  if (!exists) return Fail(kFailure, "IProjectInfo::GetConfigDir %s does not exist\n", projectDirectory.c_str());

  const std::string config = Joined(project.string(), kConfigDirectory);
  const fs::file_status status = fs::status(config, error);
  if (error && status.type() != fs::file_type::not_found)
    return Fail(kFailure, "IProjectInfo::GetConfigDir - cannot examine %s: %s\n", config.c_str(),
                error.message().c_str());
  if (status.type() == fs::file_type::not_found) {
    Port_MsgManData::debugStub(Text().Format("IProjectInfo::GetConfigDir creating %s\n", config.c_str()).c_str());
    fs::create_directories(config, error);
    if (error)
      return Fail(kFailure, "IProjectInfo::GetConfigDir - cannot create %s: %s\n", config.c_str(),
                  error.message().c_str());
  } else if (status.type() != fs::file_type::directory) {
    return Fail(kFailure, "IProjectInfo::GetConfigDir - %s is not a directory\n", config.c_str());
  }
  *directory = config;
  return kSuccess;
}

Status CProjectInfo::XIProjectInfo::GetFilterFile(const String& projectDirectory, String* path) {
  if (path != nullptr) path->str().clear();
  if (path == nullptr) return Fail(kInvalidParameter, "IProjectInfo::GetFilterFile - no output given\n");
  String config;
  if (GetConfigDir(projectDirectory, &config) != kSuccess) return kFailure;
  *path = Joined(MakeSlashPath(config.c_str()), kFilterFile);
  return kSuccess;
}

}  // namespace Hvd
