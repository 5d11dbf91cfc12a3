#pragma once
// Child processes and the environment. A child is started from an argument
// vector, never through a shell, so no character of an argument has a meaning
// of its own.

#include <vector>

#include "Port/StringBase.h"

namespace Port {

class Process {
 public:
  // The directory the child starts in; empty (the default) is ours. Ours never
  // changes.
  void SetWorkingDirectory(const StringBase<char>& directory) { m_directory = directory; }
  // The file the child reads as its standard input; empty (the default) leaves it ours.
  void SetStandardInput(const StringBase<char>& file) { m_input = file; }

  // Runs argv[0], a path or a name looked up on PATH, with the arguments
  // `argv`, and waits for it. The child's exit status, 128 + the signal number
  // when a signal ended it, or -1 when it could not be started.
  int Run(const std::vector<StringBase<char>>& argv);

  // Splits `commandLine` into arguments and runs them as above. Blanks and tabs
  // separate arguments except inside double quotes; the quotes themselves are
  // dropped ("" gives an empty argument) and every other character is literal.
  // The two flags of the host's signature (wait, no window) change nothing: the
  // call always waits and no child has a window.
  int Run(const StringBase<char>& commandLine, bool = true, bool = true);
  int RunNoWindow(const StringBase<char>& commandLine, bool = true, bool = true);

  static std::vector<StringBase<char>> SplitCommandLine(const StringBase<char>& commandLine);

 private:
  StringBase<char> m_directory;
  StringBase<char> m_input;
};

}  // namespace Port

class Port_Env {
 public:
  // True when `name` is set, an empty value included; `value` gets the value or
  // "".
  static bool GetEnv(const char* name, Port::StringBase<char>& value);
  // The path of the executable file `name`: a name with a '/' is taken as it
  // is; any other is looked up in the absolute directories of PATH with
  // `searchPath` (an empty or relative entry is passed over), else in the
  // current directory.
  // "" when there is none.
  static Port::StringBase<char> GetExecFileName(const char* name, bool searchPath);
  // The path of the installation's data file `name`, a relative path such as
  // "dir/file.tcl", in the data folder that sits where it is installed beside
  // this library (the build tree is laid out the same way). With `mustExist`,
  // "" when no such file is there. "" for a name that is empty, absolute or
  // holds "..".
  static Port::StringBase<char> GetDataFileName(const char* name, bool mustExist);
  // The path of the installation's program `name`, such as "velsh", in the program folder that
  // sits where it is installed beside this library (the build tree is laid out the same way),
  // whether or not it is there. "" for a name that is empty or holds a '/'.
  static Port::StringBase<char> GetProgramFileName(const char* name);
  // The folder this library was loaded from, made absolute when it was loaded: a relative
  // LD_LIBRARY_PATH names it against the working directory of that moment, not of a later one.
  // "" when it is not known.
  static Port::StringBase<char> GetLibraryFolder();
  // This host is not the NT family: names compare case-sensitively, separators
  // are '/'.
  static bool IsNt() noexcept { return false; }
};
