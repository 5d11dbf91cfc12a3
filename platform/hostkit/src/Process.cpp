#include "Port/Process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "Port/FaultInjection.h"
#include "Port/FileName.h"

extern char** environ;

namespace Port {

namespace {

constexpr int kNotStarted = -1;

class SpawnActions {
 public:
  SpawnActions() { m_ready = ::posix_spawn_file_actions_init(&m_actions) == 0; }
  ~SpawnActions() {
    if (m_ready) ::posix_spawn_file_actions_destroy(&m_actions);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  bool ready() const noexcept { return m_ready; }
  posix_spawn_file_actions_t* get() noexcept { return &m_actions; }

 private:
  posix_spawn_file_actions_t m_actions;
  bool m_ready = false;
};

}  // namespace

std::vector<StringBase<char>> Process::SplitCommandLine(const StringBase<char>& commandLine) {
  std::vector<StringBase<char>> argv;
  std::string current;
  bool inWord = false, quoted = false;
  for (const char c : commandLine.str()) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;  // "" stands for an empty argument
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) argv.emplace_back(current);
      current.clear();
      inWord = false;
    } else {
      current += c;
      inWord = true;
    }
  }
  if (inWord) argv.emplace_back(current);
  return argv;
}

int Process::Run(const std::vector<StringBase<char>>& argv) {
  if (argv.empty() || FaultInjection::ShouldFail("Run", argv.front().str())) return kNotStarted;
  // Absolute, so a relative program path names what we checked, not something
  // under the child's working directory.
  const StringBase<char> found = Port_Env::GetExecFileName(argv.front().c_str(), true);
  if (found.empty()) return kNotStarted;
  const StringBase<char> program = FileName(found).GetAbsolutePath();

  std::vector<char*> arguments;
  for (const StringBase<char>& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  SpawnActions actions;
  if (!actions.ready()) return kNotStarted;
  // Opened before the child changes directory, so a relative name is ours.
  if (!m_input.empty() &&
      ::posix_spawn_file_actions_addopen(actions.get(), 0, m_input.c_str(), O_RDONLY, 0) != 0) {
    return kNotStarted;
  }
  // The child changes directory itself, so ours is never touched, not even for
  // a moment.
  if (!m_directory.empty() && ::posix_spawn_file_actions_addchdir_np(actions.get(), m_directory.c_str()) != 0) {
    return kNotStarted;
  }
  pid_t child = 0;
  if (::posix_spawn(&child, program.c_str(), actions.get(), nullptr, arguments.data(), environ) != 0) {
    return kNotStarted;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return kNotStarted;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kNotStarted;
}

int Process::Run(const StringBase<char>& commandLine, bool, bool) { return Run(SplitCommandLine(commandLine)); }

int Process::RunNoWindow(const StringBase<char>& commandLine, bool, bool) { return Run(SplitCommandLine(commandLine)); }

}  // namespace Port

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::filesystem::path FolderOfThisLibrary() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&FolderOfThisLibrary), &info) == 0 || info.dli_fname == nullptr) return {};
  std::error_code error;
  const std::filesystem::path library = std::filesystem::absolute(info.dli_fname, error);
  return error ? std::filesystem::path() : library.parent_path().lexically_normal();
}

// Made when the library is loaded, before anyone can change the working directory.
const std::filesystem::path g_libraryFolder = FolderOfThisLibrary();

}  // namespace

bool Port_Env::GetEnv(const char* name, Port::StringBase<char>& value) {
  value = "";
  const char* found = name != nullptr ? std::getenv(name) : nullptr;
  if (found == nullptr) return false;
  value = found;
  return true;
}

Port::StringBase<char> Port_Env::GetExecFileName(const char* name, bool searchPath) {
  if (name == nullptr || *name == '\0' || Port::FaultInjection::ShouldFail("GetExecFileName", name)) return {};
  const std::string wanted(name);
  if (wanted.find('/') != std::string::npos || !searchPath) {
    return IsExecutableFile(wanted) ? Port::StringBase<char>(wanted) : Port::StringBase<char>();
  }
  const char* path = std::getenv("PATH");
  const std::string directories = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= directories.size()) {
    auto end = directories.find(':', start);
    if (end == std::string::npos) end = directories.size();
    const std::string directory = directories.substr(start, end - start);
    start = end + 1;
    // An empty or relative entry names the working directory of the moment, a project folder
    // that could hold a program planted under the name looked for: only absolute ones count.
    if (directory.empty() || directory.front() != '/') continue;
    const std::string candidate = directory + "/" + wanted;
    if (IsExecutableFile(candidate)) return Port::StringBase<char>(candidate);
  }
  return {};
}

Port::StringBase<char> Port_Env::GetDataFileName(const char* name, bool mustExist) {
  if (name == nullptr || *name == '\0' || Port::FaultInjection::ShouldFail("GetDataFileName", name)) return {};
  const std::filesystem::path relative(name);
  if (relative.is_absolute()) return {};
  for (const auto& part : relative) {
    if (part == "..") return {};  // the answer stays inside the data folder
  }
  if (g_libraryFolder.empty()) return {};
  const std::filesystem::path path = (g_libraryFolder / HOSTKIT_DATA_FROM_LIBRARY / relative).lexically_normal();
  std::error_code error;
  if (mustExist && !std::filesystem::is_regular_file(path, error)) return {};
  return Port::StringBase<char>(path.string());
}

Port::StringBase<char> Port_Env::GetProgramFileName(const char* name) {
  if (name == nullptr || *name == '\0' || std::string_view(name).find('/') != std::string_view::npos ||
      g_libraryFolder.empty()) {
    return {};
  }
  return Port::StringBase<char>((g_libraryFolder / HOSTKIT_PROGRAM_FROM_LIBRARY / name).lexically_normal().string());
}

Port::StringBase<char> Port_Env::GetLibraryFolder() { return Port::StringBase<char>(g_libraryFolder.string()); }
