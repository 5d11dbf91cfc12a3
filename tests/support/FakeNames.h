#pragma once
// A path-name double: every operation answers "not supported" unless a test overrides it.

#include "Hvd/Status.h"
#include "Prjrep/IFileNameHelper.h"

namespace testing_support {

class FakeFileNameHelperBase : public Prjrep::IFileNameHelper {
 public:
  using Text = Port::StringBase<char>;
  std::uint64_t SetPathInDirectory(const Text&, const Text&, const Text&) override { return Hvd::kNotSupported; }
  std::uint64_t SetPath(const Text&, const Text&) override { return Hvd::kNotSupported; }
  std::uint64_t SetBaseDirectory(const Text&) override { return Hvd::kNotSupported; }
  std::uint64_t GetBaseDirectory(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetPathOnDirectory(const Text&, Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetDirectory(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetFullName(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetRelativeName(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetOsPath(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetShortName(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t GetExtension(Text*) override { return Hvd::kNotSupported; }
  std::uint64_t IsInsideBase(bool*) override { return Hvd::kNotSupported; }
};

}  // namespace testing_support
