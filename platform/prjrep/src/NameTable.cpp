#include "NameTable.h"

#include <utility>

#include "Hvd/Status.h"

namespace Prjrep::names {

bool CNameTable::Withdraw(CitI::IInterface* root) {
  std::vector<AutoPtr<CitI::IInterface>> released;
  std::vector<AutonymEntry> releasedEntries;
  for (auto it = m_names.begin(); it != m_names.end();) {
    if (it->second.Get() == root) {
      released.push_back(std::move(it->second));
      it = m_names.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = m_autonyms.begin(); it != m_autonyms.end();) {
    if (it->object.Get() == root) {
      releasedEntries.push_back(std::move(*it));
      it = m_autonyms.erase(it);
    } else {
      ++it;
    }
  }
  return !released.empty() || !releasedEntries.empty();
}

std::size_t CNameTable::Match(IAutonym* autonym) {
  for (std::size_t i = 0; i < m_autonyms.size(); ++i) {
    // Held across the call, which may reach back into the table.
    const AutoPtr<IAutonym> candidate = m_autonyms[i].autonym;
    bool same = false;
    if (candidate->IsSame(autonym, &same) == Hvd::kSuccess && same && i < m_autonyms.size() &&
        m_autonyms[i].autonym.Get() == candidate.Get()) {
      return i;
    }
  }
  return m_autonyms.size();
}

std::vector<Port::StringBase<char>> CNameTable::Names() const {
  std::vector<Port::StringBase<char>> names;
  names.reserve(m_names.size());
  for (const auto& entry : m_names) names.emplace_back(entry.first);
  return names;
}

void CNameTable::Clear() {
  std::map<std::string, AutoPtr<CitI::IInterface>> names;
  std::vector<AutonymEntry> autonyms;
  names.swap(m_names);
  autonyms.swap(m_autonyms);
}

}  // namespace Prjrep::names
