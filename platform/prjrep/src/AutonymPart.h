#pragma once
// What the IAutonym of an autonym known by its NameOf() has in common with every other: two
// autonyms are the same when their names are equal. Each autonym resolves in its own way.

#include "Hvd/Status.h"
#include "Prjrep/IAutonym.h"
#include "core/Holders.h"
#include "core/Interface.h"

namespace Prjrep::standins {

template <class Owner>
struct TAutonymPart : Hvd::TNested<Owner, IAutonym> {
  using Hvd::TNested<Owner, IAutonym>::TNested;

  Hvd::Status GetName(Port::StringBase<char>* name) override {
    if (name == nullptr) return Hvd::kFailure;
    return this->This().NameOf(*name);
  }
  Hvd::Status GetObject(CitI::IInterface** object) override {
    AutoOut<CitI::IInterface> result(object);
    if (object == nullptr) return Hvd::kFailure;
    return result.Assign(this->This().Held());
  }
  Hvd::Status IsSame(CitI::IInterface* other, bool* same) override {
    if (same == nullptr) return Hvd::kFailure;
    *same = false;
    AutoCast<IAutonym> theirs(other);
    Port::StringBase<char> theirName;
    Port::StringBase<char> mine;
    if (theirs.Get() == nullptr) return Hvd::kFailure;
    if (const Hvd::Status status = theirs->GetName(&theirName); status != Hvd::kSuccess) return status;
    if (const Hvd::Status status = this->This().NameOf(mine); status != Hvd::kSuccess) return status;
    *same = theirName == mine;
    return Hvd::kSuccess;
  }
};

}  // namespace Prjrep::standins
