#include "NameTable.h"

#include <utility>

#include "Hvd/Status.h"

namespace Prjrep::names {
namespace {

using Hvd::kFailure;
using Hvd::kSuccess;
using Hvd::Status;

CitI::IInterface* RootOf(CitI::IInterface* object) {
  return object == nullptr ? nullptr : object->QueryInterface(CitI::IInterface::GetIID());
}

}  // namespace

Status CNameTable::Find(const Port::StringBase<char>& name, CitI::IInterface** object) {
  AutoOut<CitI::IInterface> result(object);
  const auto found = m_names.find(name.str());
  if (object == nullptr || found == m_names.end()) return kFailure;
  result.Assign(found->second.Get());
  return kSuccess;
}

Status CNameTable::Add(const Port::StringBase<char>& name, CitI::IInterface* object) {
  AutoPtr<CitI::IInterface> held(object);
  if (held.Get() == nullptr || m_names.count(name.str()) != 0) return kFailure;
  m_names.emplace(name.str(), std::move(held));
  return kSuccess;
}

Status CNameTable::Register(const Port::StringBase<char>& name, CitI::IInterface* object) {
  AutoPtr<CitI::IInterface> held(object);  // after the swap: what the name stood for
  if (held.Get() == nullptr) return kFailure;
  std::swap(m_names[name.str()], held);
  return kSuccess;
}

Status CNameTable::Unregister(const Port::StringBase<char>& name) {
  const auto found = m_names.find(name.str());
  if (found == m_names.end()) return kFailure;
  const AutoPtr<CitI::IInterface> released = std::move(found->second);
  m_names.erase(found);
  return kSuccess;
}

Status CNameTable::UnregisterObject(CitI::IInterface* object) {
  std::vector<AutoPtr<CitI::IInterface>> released;
  std::vector<AutonymEntry> releasedEntries;
  CitI::IInterface* const root = RootOf(object);
  if (root == nullptr) return kFailure;
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
  return released.empty() && releasedEntries.empty() ? kFailure : kSuccess;
}

std::size_t CNameTable::Match(IAutonym* autonym) {
  for (std::size_t i = 0; i < m_autonyms.size(); ++i) {
    // Held across the call, which may reach back into the table.
    const AutoPtr<IAutonym> candidate = m_autonyms[i].autonym;
    bool same = false;
    if (candidate->IsSame(autonym, &same) == kSuccess && same && i < m_autonyms.size() &&
        m_autonyms[i].autonym.Get() == candidate.Get()) {
      return i;
    }
  }
  return m_autonyms.size();
}

Status CNameTable::Resolve(IAutonym* autonym, CitI::IInterface** object) {
  AutoOut<CitI::IInterface> result(object);
  if (autonym == nullptr || object == nullptr) return kFailure;
  const std::size_t at = Match(autonym);
  if (at == m_autonyms.size()) return kFailure;
  result.Assign(m_autonyms[at].object.Get());
  return kSuccess;
}

Status CNameTable::ResolveOrCreate(IAutonym* autonym, CitI::IInterface* context, CitI::IInterface** object) {
  AutoOut<CitI::IInterface> result(object);
  if (autonym == nullptr || object == nullptr) return kFailure;
  AutoRelease<CitI::IInterface> found;
  if (Resolve(autonym, found.Receive()) == kSuccess) {
    result.Assign(found.Get());
    return kSuccess;
  }
  const Status status = autonym->Resolve(context, found.Receive());
  if (found.Get() == nullptr) return status;
  if (const Status registered = RegisterAutonym(autonym, found.Get()); registered != kSuccess) return registered;
  result.Assign(found.Get());
  return kSuccess;
}

Status CNameTable::RegisterAutonym(IAutonym* autonym, CitI::IInterface* object) {
  AutonymEntry entry{AutoPtr<IAutonym>(autonym),
                     AutoPtr<CitI::IInterface>(object)};  // after the swap: the replaced one
  if (entry.autonym.Get() == nullptr || entry.object.Get() == nullptr) return kFailure;
  const std::size_t at = Match(autonym);
  if (at == m_autonyms.size()) {
    m_autonyms.push_back(std::move(entry));
  } else {
    std::swap(m_autonyms[at].autonym, entry.autonym);
    std::swap(m_autonyms[at].object, entry.object);
  }
  return kSuccess;
}

Status CNameTable::FindAutonym(CitI::IInterface* object, IAutonym** autonym) {
  AutoOut<IAutonym> result(autonym);
  CitI::IInterface* const root = RootOf(object);
  if (root == nullptr || autonym == nullptr) return kFailure;
  for (const AutonymEntry& entry : m_autonyms) {
    if (entry.object.Get() == root) {
      result.Assign(entry.autonym.Get());
      return kSuccess;
    }
  }
  return kFailure;
}

Status CNameTable::UnregisterAutonym(IAutonym* autonym) {
  if (autonym == nullptr) return kFailure;
  const std::size_t at = Match(autonym);
  if (at == m_autonyms.size()) return kFailure;
  const AutonymEntry released = std::move(m_autonyms[at]);
  m_autonyms.erase(m_autonyms.begin() + static_cast<std::ptrdiff_t>(at));
  return kSuccess;
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
