// Autonyms: an object's own, repositories found by their path's autonym, the compound
// autonyms synthesized for objects inside projects, their storage, and the name-tracker dump.

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <utility>

#include "CitP/Factory.h"
#include "Hvd/IConfiguration.h"
#include "Port/MsgMan.h"
#include "Prjrep/IName.h"
#include "Prjrep/IStringSet.h"
#include "utils/DmUtils.h"
#include "utils/dmutils/Shared.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoOut;
using Prjrep::AutoPtr;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;
using dmutils::IdentityOf;
using dmutils::Registry;

}  // namespace

AutoRelease<Prjrep::IAutonym> GetAutonymOf(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  if (AutoCast<Prjrep::IAutonym> itself(object); itself.Get() != nullptr) {
    return dmutils::NewReference<Prjrep::IAutonym>(itself.Get());
  }
  AutoCast<Prjrep::IAutoNaming> selfNaming(object);
  if (selfNaming.Get() == nullptr) return nullptr;
  AutoRelease<Prjrep::IAutonym> autonym;
  std::ignore = selfNaming->GetAutonym(autonym.Receive());
  return autonym;
}

bool AddAutonymToSet(CitI::IInterface* set, CitI::IInterface* object) {
  AutoCast<Prjrep::IAutonymSet> autonyms(set);
  AutoRelease<Prjrep::IAutonym> autonym = GetAutonymOf(object);
  return autonyms.Get() != nullptr && autonym.Get() != nullptr && autonyms->Add(autonym) == kSuccess;
}

AutoRelease<Prjrep::IProjectRepository> FindAutonymByName(const char* name, bool createWhenMissing, bool* found) {
  if (found != nullptr) *found = false;
  // A repository without a path could only be a nameless one, registered for every
  // object without a path.
  if (name == nullptr || *name == '\0') return nullptr;
  auto lookup = Registry<Prjrep::IAutonymLookup>();
  AutoRelease<Prjrep::IAutonym> autonym(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  if (lookup.Get() == nullptr || autonym.Get() == nullptr) return nullptr;
  if (AutoCast<Prjrep::IName> named(autonym.Get()); named.Get() != nullptr) std::ignore = named->SetName(String(name));
  AutoRelease<CitI::IInterface> object;
  std::ignore = lookup->Resolve(autonym, object.Receive());
  if (object.Get() == nullptr && createWhenMissing)
    std::ignore = lookup->ResolveOrCreate(autonym, nullptr, object.Receive());
  AutoRelease<Prjrep::IProjectRepository> repository(std::move(object));
  if (repository.Get() != nullptr && found != nullptr) *found = true;
  return repository;
}

Status RegisterRepositoryByName(const char* name, Prjrep::IProjectRepository* repository) {
  if (name == nullptr || *name == '\0' || repository == nullptr) return kInvalidParameter;
  auto lookup = Registry<Prjrep::IAutonymLookup>();
  AutoRelease<Prjrep::IAutonym> autonym(CitP::Factory::CreateInstance(Prjrep::ClassId::SimpleAutonym()));
  AutoCast<Prjrep::IName> named(autonym.Get());
  if (lookup.Get() == nullptr || named.Get() == nullptr) return kFailure;
  if (const Status status = named->SetName(String(name)); status != kSuccess) return status;
  return lookup->Register(autonym, repository);
}

AutoRelease<Prjrep::IAutonym> SynthesizeHlcPlusAutonym(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  if (AutoCast<Prjrep::IAutonymSet>(object).Get() != nullptr) {
    Port_MsgManData::debugStub(
        "ERROR: SynthesizeHlcPlusAutonym - Invalid argument - The provided component may not expose IAutonymSet.\n");
    return nullptr;
  }
  AutoPtr<CitI::IInterface> base;
  if (AutoCast<Prjrep::IAutoNaming>(object).Get() != nullptr) {
    base = object;
  } else {
    base = GetOwningProject(object);
  }
  return ComposeAutonym(GetObjectFullPath(base), base);
}

AutoRelease<Prjrep::IAutonym> SynthesizeObjectAutonym(CitI::IInterface* object) {
  AutoRelease<IProject> project = GetOwningProject(object);
  AutoRelease<Prjrep::IAutonym> compound = SynthesizeHlcPlusAutonym(project);
  if (compound.Get() == nullptr || !AddAutonymToSet(compound, object)) return nullptr;
  return compound;
}

AutoRelease<Prjrep::IAutonym> SynthesizeNestedAutonym(CitI::IInterface* object, CitI::IInterface* child) {
  AutoRelease<Prjrep::IAutonym> compound = SynthesizeObjectAutonym(object);
  if (compound.Get() == nullptr || !AddAutonymToSet(compound, child)) return nullptr;
  return compound;
}

AutoRelease<Prjrep::IAutonym> MakeProjectComponentAutonym(const String& path, CitI::IInterface* component) {
  if (path.empty()) return nullptr;
  return ComposeAutonym(path, component);
}

AutoRelease<Prjrep::IAutonym> FindAutonymInSet(CitI::IInterface* owner, CitI::IInterface* object) {
  AutoCast<IPRModuleSet> set(owner);
  // A module manager keeps its set to itself; its modules are walked through it.
  AutoCast<IPRModuleManager> manager(owner);
  CitI::IInterface* wanted = IdentityOf(object);
  if ((set.Get() == nullptr && manager.Get() == nullptr) || wanted == nullptr) return nullptr;
  AutoRelease<IPRModuleIterator> it;
  const Status status = set.Get() != nullptr ? set->GetIterator(it.Receive()) : manager->GetPRModules(it.Receive());
  if (status != kSuccess || it.Get() == nullptr) return nullptr;
  for (; !it->IsDone(); std::ignore = it->Next()) {
    if (IdentityOf(it->Current()) == wanted) return GetAutonymOf(object);
  }
  return nullptr;
}

Status PersistObjectAutonym(Prjrep::IStorage* storage, CitI::IInterface* object) {
  if (storage == nullptr) return kInvalidParameter;
  AutoRelease<Prjrep::IAutonym> autonym = SynthesizeHlcPlusAutonym(object);
  return storage->WriteObject(AutoCast<Prjrep::IPersist>(autonym.Get()));
}

Status LoadAutonymReference(Prjrep::IStorage* storage, CitI::IInterface** out) {
  AutoOut<CitI::IInterface> result(out);
  if (storage == nullptr) return kInvalidParameter;
  AutoRelease<Prjrep::IPersist> read;
  Status status = storage->ReadObject(read.Receive());
  AutoCast<Prjrep::IAutonym> autonym(read.Get());
  if (autonym.Get() != nullptr && out != nullptr) {
    auto lookup = Registry<Prjrep::IAutonymLookup>();
    if (lookup.Get() != nullptr) status = lookup->ResolveOrCreate(autonym, nullptr, out);
  }
  return status;
}

namespace {

const Port_MsgManData& DumpMessages() {
  // The message source the dump has always named, its line included.
  static const Port_MsgManData s_messages =
      Port_MsgManData::createObject("ProjectMgmt", "../src/DmUtils", 630, "$Revision: 1.58 $");
  return s_messages;
}

void DumpObjectLine(const String& indent, const String& key, CitI::IInterface* object) {
  const bool isRepository = AutoCast<Prjrep::IProjectRepositoryInternal>(object).Get() != nullptr;
  DumpMessages().issueStatus(
      "%s  %s (%" PRIxPTR ") (%s)\n", indent.c_str(), isRepository ? "ActiveRepository" : key.c_str(),
      reinterpret_cast<std::uintptr_t>(IdentityOf(object)), GetObjectDisplayName(object).c_str());
}

void DumpTable(CitI::IInterface* table, const String& indent, std::unordered_set<CitI::IInterface*>& visited) {
  // A table that leads back to one already being listed ends the walk there.
  if (table == nullptr || !visited.insert(IdentityOf(table)).second) return;
  const String deeper = indent + "    ";
  AutoCast<Prjrep::IAutonymSet> autonyms(table);
  AutoCast<Prjrep::IAutonymLookup> autonymLookup(table);
  if (autonyms.Get() != nullptr && autonymLookup.Get() != nullptr && autonyms->Size() > 0) {
    DumpMessages().issueStatus("%sAutonym keys:\n", indent.c_str());
    AutoRelease<Prjrep::IAutonymIterator> it;
    std::ignore = autonyms->GetIterator(it.Receive());
    for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
      String key;
      std::ignore = it->Current()->GetName(&key);
      AutoRelease<CitI::IInterface> object;
      std::ignore = autonymLookup->Resolve(it->Current(), object.Receive());
      DumpObjectLine(indent, key, object);
      DumpTable(object, deeper, visited);
    }
  }
  AutoCast<Prjrep::IStringSet> strings(table);
  AutoCast<Prjrep::ISimpleNamedLookup> names(table);
  if (strings.Get() != nullptr && names.Get() != nullptr && strings->Size() > 0) {
    DumpMessages().issueStatus("%sString keys:\n", indent.c_str());
    AutoRelease<Prjrep::IStringIterator> it;
    std::ignore = strings->GetIterator(it.Receive());
    for (; it.Get() != nullptr && !it->IsDone(); std::ignore = it->Next()) {
      const String key = it->Current();
      AutoRelease<CitI::IInterface> object;
      std::ignore = names->Find(key, object.Receive());
      DumpObjectLine(indent, key, object);
      DumpTable(object, deeper, visited);
    }
  }
}

}  // namespace

void DumpNameTracker(CitI::IInterface* lookupObject, const String& indent) {
  std::unordered_set<CitI::IInterface*> visited;
  DumpTable(lookupObject, indent, visited);
}

void DumpGlobalNameTracker() {
  auto registry = Registry<CitI::IInterface>();
  std::size_t total = 0;
  if (AutoCast<Prjrep::IAutonymSet> autonyms(registry.Get()); autonyms.Get() != nullptr) total += autonyms->Size();
  if (AutoCast<Prjrep::IStringSet> strings(registry.Get()); strings.Get() != nullptr) total += strings->Size();
  DumpMessages().issueStatus("- Global Name Tracker -\n");
  if (total > 0) {
    DumpNameTracker(registry, "  ");
  } else {
    DumpMessages().issueStatus("  Empty!\n");
  }
}

}  // namespace Hvd
