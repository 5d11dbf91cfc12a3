// The library's one export: registers a factory for every component class.

#include "CitP/Factory.h"
#include "utils/Factory.h"
#include "library/RegisteredClasses.h"

namespace {

template <class... X>
void RegisterAll(Hvd::TypeList<X...>) {
  Hvd::RegisterFactoriesOf<X...>();
}

}  // namespace

extern "C" void InstFactoryEntry() { RegisterAll(Hvd::RegisteredClasses{}); }
