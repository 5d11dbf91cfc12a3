#pragma once
// Class ids of the repository's components, by which clients create them.

#include "CitI/IInterface.h"

namespace Prjrep::ClassId {

CITI_DEFINE_ID(Repository, "{cd48a8b1-2990-4881-8664-52802c04fdff}")
CITI_DEFINE_ID(NamedObjectRegistry, "{4fed14a6-b46d-476d-8556-05048be1b55b}")
CITI_DEFINE_ID(NamedLookupTable, "{3284b086-829e-4bca-b3e3-6209f9d2c078}")
CITI_DEFINE_ID(Event, "{162FF186-3785-40ba-B5FD-540CADCBE439}")
CITI_DEFINE_ID(OperationGate, "{60f0875e-b8d4-4abf-b271-75837f1c0ca9}")
CITI_DEFINE_ID(SimpleAutonym, "{c6327cf3-ebf5-4a02-90ff-387e6c7d2f11}")
CITI_DEFINE_ID(CompoundAutonym, "{e4265341-05c3-4f14-9f2f-a47e72d5ae89}")
CITI_DEFINE_ID(BroadcastRelay, "{f57002b6-97f6-4f2b-8048-59ed0b0a9fa6}")
CITI_DEFINE_ID(Attachment, "{e0a394b8-1df6-4a01-8db1-62a4783e3e31}")
CITI_DEFINE_ID(StringSet, "{F3B15D33-91D9-4fbe-BE51-EFAF71FDAAB3}")
CITI_DEFINE_ID(FileNameHelper, "{AA45A027-DC8B-42f6-AE83-00CFCA645665}")
// A storage stream in memory, as CreateStorage makes it; reads start at the first value
// written.
CITI_DEFINE_ID(MemoryStorage, "{d7b6eef1-c3d1-42e1-9e8b-7d6de4057b91}")
// A name of its own, answering IName.
CITI_DEFINE_ID(NameObject, "{E74D8894-BAD0-4850-B3E0-B3502A380263}")

}  // namespace Prjrep::ClassId
