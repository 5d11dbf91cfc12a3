#pragma once
// A path-name double: every operation answers "not supported" unless a test overrides it.

#include "Hvd/Status.h"
#include "Prjrep/IFileNameHelper.h"

namespace testing_support {

struct FakeFileNameHelperBase : Prjrep::IFileNameHelper {
  using Text = Port::StringBase<char>;
  Hvd::Status SetPathInDirectory(const Text&, const Text&, const Text&) override { return Hvd::kNotSupported; }
  Hvd::Status SetPath(const Text&, const Text&) override { return Hvd::kNotSupported; }
  Hvd::Status SetBaseDirectory(const Text&) override { return Hvd::kNotSupported; }
  Hvd::Status GetBaseDirectory(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetPathOnDirectory(const Text&, Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetDirectory(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetFullName(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetRelativeName(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetOsPath(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetShortName(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status GetExtension(Text*) override { return Hvd::kNotSupported; }
  Hvd::Status IsInsideBase(bool*) override { return Hvd::kNotSupported; }
};

}  // namespace testing_support
