#pragma once
// Where a major view's HDL package wrapper goes: the parser project that mirrors the view's
// files and parser properties. Until the wrapper is built, this stand-in takes what the view
// hands it and does nothing with it, so that the view's side of the hand-over is already in
// place. The real wrapper replaces this file.

#include <cstdint>

#include "Hvd/IDefData.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class CHdlPackageWrapper {
 public:
  CHdlPackageWrapper() = default;
  CHdlPackageWrapper(const CHdlPackageWrapper&) = delete;
  CHdlPackageWrapper& operator=(const CHdlPackageWrapper&) = delete;
  virtual ~CHdlPackageWrapper() = default;

  Status SetWorkingDirectory(const Port::StringBase<char>&) { return kSuccess; }
  Status SetProjectDirectory(const Port::StringBase<char>&) { return kSuccess; }
  Status SetViewFiles(IFileIterator*) { return kSuccess; }
  Status SetViewProperties(IPropertyInstanceIterator*) { return kSuccess; }
  Status UpdateElaborationData() { return kSuccess; }
  // Deletes the parser's message file of the working directory.
  static void RemoveParserMessageFile() {}
};

}  // namespace Hvd
