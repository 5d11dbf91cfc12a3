#pragma once
// Makes chosen host operations fail on purpose. Tests run as root, where
// permissions cannot make a write fail, so the failure paths of callers are
// reached through these hooks instead. Operation names are the function names:
// "exist", "isdir", "isfile", "mkdir", "rmdir", "remove_f", "copy_p", "chmod",
// "canread", "canread_dir", "canwrite" (an existing file), "canwrite_dir", "getcwd", "chdir", "tmpnam",
// "rename", "UT_DIR", "Run" (both ways of running a process),
// "GetExecFileName", "GetDataFileName".

#include <functional>
#include <string_view>

namespace Port::FaultInjection {

// Arms a failure of `operation`. With `nth` 0 every matching call fails;
// otherwise only the nth matching call from now (1 = the next). With a
// non-empty `pathPart`, only calls whose path contains it match. Several
// failures may be armed at once.
void Fail(std::string_view operation, int nth = 0, std::string_view pathPart = {});

// Arms the end of the process at a call, matched as for Fail, where an `operation` of "*"
// matches every operation: the process ends at once with `_exit(kExitStatus)`, as a kill at
// that point would end it, with nothing unwound or flushed. Tests arm it in a forked child and
// look at what the child left behind.
inline constexpr int kExitStatus = 86;
void Exit(std::string_view operation, int nth, std::string_view pathPart = {});

// Arms `action` to run at a call, matched as for Fail, before the operation acts; the call then
// goes on as usual, failing only when a failure is armed for it too. Tests do there what another
// program could do at that moment. The action runs on the caller's thread, the table not held.
void Act(std::string_view operation, int nth, std::string_view pathPart, std::function<void()> action);

// Disarms every failure, every armed end and every armed action.
void Clear();

// Asked by each operation before it acts: true when this call is to fail.
bool ShouldFail(std::string_view operation, std::string_view path = {});

// Disarms every failure when the scope ends, so a failing test leaves none
// behind.
class Scope {
 public:
  Scope() = default;
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
  ~Scope() { Clear(); }
};

}  // namespace Port::FaultInjection
