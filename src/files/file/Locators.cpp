// The design-graph locators of a file: the instance paths its units stand at, each once.

#include <algorithm>

#include "files/file/CFile.h"

namespace Hvd {

Status CFile::XIDesignGraphLocatorSet::Add(String locator) {
  if (locator.empty()) return kBadParameters;
  if (std::find(m_elements.begin(), m_elements.end(), locator) != m_elements.end()) return kSuccess;
  return TStringSequenceSetHelper::Add(std::move(locator));
}

Status CFile::XIDesignGraphLocatorSet::Remove(const String& locator) {
  if (locator.empty()) return kBadParameters;
  for (auto at = m_elements.begin(); at != m_elements.end(); ++at) {
    if (*at == locator) {
      RemoveAt(at);
      break;
    }
  }
  return kSuccess;
}

Status CFile::XIDesignGraphLocatorSet::Contains(const String& locator, bool* found) {
  if (found != nullptr) *found = false;
  if (locator.empty()) return kBadParameters;
  if (found == nullptr) return kInvalidParameter;
  *found = std::find(m_elements.begin(), m_elements.end(), locator) != m_elements.end();
  return kSuccess;
}

}  // namespace Hvd
