#pragma once
// Results of every interface operation of the library.

#include <cstdint>
#include <ostream>
#include <tuple>  // std::ignore, which marks a result dropped on purpose

namespace Hvd {

// A 64-bit result code. It converts to and from no number, so that it is compared only
// with the named codes below, and a result that is dropped is a compiler warning.
enum class [[nodiscard]] Status : std::uint64_t {};

// What an operation that cannot fail answers: success, without asking to be looked at.
struct Succeeded {
  constexpr operator Status() const noexcept { return Status{1}; }  // NOLINT: implicit by design
};

constexpr std::uint64_t CodeOf(Status status) noexcept { return static_cast<std::uint64_t>(status); }

inline std::ostream& operator<<(std::ostream& out, Status status) {
  const auto flags = out.flags();
  out << "0x" << std::hex << CodeOf(status);
  out.flags(flags);
  return out;
}

inline constexpr Status kSuccess{1};
inline constexpr Status kFailure{0};  // also "false"
inline constexpr Status kNotSupported{0xFFFFFFFFFFFFFFFFull};
inline constexpr Status kInvalidParameter{0x1000000200000011ull};  // also a missing stream or output pointer
inline constexpr Status kDirectoryWriteFailed{0x1000000200000012ull};
inline constexpr Status kCleanupFailed{0x1000000200000013ull};
inline constexpr Status kTempDirNotCreated{0x1000000200000014ull};
inline constexpr Status kProjectNotOpen{0x1000000200000015ull};
inline constexpr Status kProjectReadOnly{0x1000000200000016ull};
inline constexpr Status kComponentNotCreated{0x1000000200000017ull};
inline constexpr Status kNotSetUp{0x1000000200000018ull};
inline constexpr Status kMissingInterface{0x1000000200000019ull};
inline constexpr Status kOwnerMissing{0x100000020000001aull};  // also "already set"
inline constexpr Status kZipNotFound{0x100000020000001bull};
inline constexpr Status kMigrationCancelled{0x100000020000001dull};
inline constexpr Status kMigrationFailed{0x020000020000001cull};  // the migration procedure failed or declined
inline constexpr Status kNotAStaticProject{0x100000020000001eull};  // a flavor or configuration project
inline constexpr Status kProjectNotOpened{0x100000020000001full};
inline constexpr Status kBadParameters{0x1100000000000003ull};  // also out of range, no interface, no event sender
inline constexpr Status kOpenOlderProjectFailed{0x0800000400000004ull};

}  // namespace Hvd
