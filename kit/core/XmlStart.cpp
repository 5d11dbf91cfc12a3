#include "core/XmlStart.h"

#include <cstdlib>
#include <xercesc/util/PlatformUtils.hpp>

namespace Hvd {

namespace {

void Stop() { xercesc::XMLPlatformUtils::Terminate(); }

bool Start() noexcept {
  try {
    xercesc::XMLPlatformUtils::Initialize();
  } catch (...) {
    return false;
  }
  std::atexit(Stop);  // the last copy's stop is the one that frees Xerces
  return true;
}

// The library and each stand-in library keep their own copy of this code, and so of the flag
// below; all of them start Xerces while their library is loaded. The executable's start-up runs
// these initialisers one at a time before any thread, and dlopen runs them under the loader's
// lock, so no two copies ever start Xerces at once, and later calls only read their flag.
[[maybe_unused]] const bool s_startedOnLoad = StartXmlPlatform();

}  // namespace

bool StartXmlPlatform() noexcept {
  static const bool s_started = Start();
  return s_started;
}

}  // namespace Hvd
