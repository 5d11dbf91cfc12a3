#pragma once
// Makes chosen host operations fail on purpose. Tests run as root, where
// permissions cannot make a write fail, so the failure paths of callers are
// reached through these hooks instead. Operation names are the function names:
// "exist", "isdir", "isfile", "mkdir", "rmdir", "remove_f", "copy_p", "chmod",
// "canread", "canread_dir", "canwrite_dir", "getcwd", "chdir", "tmpnam",
// "rename", "UT_DIR", "Run" (both ways of running a process),
// "GetExecFileName", "GetDataFileName".

#include <string_view>

namespace Port::FaultInjection {

// Arms a failure of `operation`. With `nth` 0 every matching call fails;
// otherwise only the nth matching call from now (1 = the next). With a
// non-empty `pathPart`, only calls whose path contains it match. Several
// failures may be armed at once.
void Fail(std::string_view operation, int nth = 0, std::string_view pathPart = {});

// Arms a kill: the nth matching call of `operation` from now (1 = the next)
// ends the process at once, before it acts, with exit status kKilledStatus and
// without running any clean-up, as a process killed at that point would stop.
// Meant for a forked child whose parent then looks at what was left behind.
void Kill(std::string_view operation, int nth, std::string_view pathPart = {});
inline constexpr int kKilledStatus = 86;

// Disarms every failure.
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
