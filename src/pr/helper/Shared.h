#pragma once
// What the helper's operations share: a counted list of strings to iterate, and the checks
// of a name that becomes a project's directory and file.

#include <vector>

#include "CitI/IInterface.h"
#include "Hvd/IConfiguration.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/StringSets.h"

namespace Hvd::prhelper {

// A string set made with new and counted; answers Prjrep::IStringSet and Prjrep::IRefCount.
class CStringList final : public TComponent<CStringList> {
 public:
  CStringList();

  auto QueryTable() {
    return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IStringSet>(&m_set), Row<CitI::IInterface>(&m_set));
  }

  Prjrep::IStringSet* Set() noexcept { return &m_set; }

 private:
  using StringSet = Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator,
                                                     std::vector<Port::StringBase<char>>>;
  StringSet m_set;
  Prjrep::TRefCountHelper<CStringList> m_refCount{this};
};

// The name of an object through Prjrep::IName; empty without one.
Port::StringBase<char> NameOf(CitI::IInterface* object);

// Whether a flavor or configuration named `name` may have a project of its own under the
// manager's project: usable as a directory and file name, and not the name of another flavor
// or configuration of the manager, whose project it would share. Issues the user error and
// answers false when not. `self` is the object being named, which does not count.
bool CheckProjectName(CitI::IInterface* manager, const Port::StringBase<char>& name, const char* kind,
                      CitI::IInterface* self);

}  // namespace Hvd::prhelper
