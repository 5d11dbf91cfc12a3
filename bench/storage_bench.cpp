// A set of objects saved to the storage stream and loaded back.

#include <benchmark/benchmark.h>

#include <list>
#include <vector>

#include "Prjrep/Storage.h"
#include "core/Sets.h"
#include "support/Records.h"

using namespace testing_support;

namespace {

using ListSet = Prjrep::TSequenceSetHelper<IRecord*, IRecordSet, IRecordIterator, std::list<IRecord*>>;

void BM_StorageRoundTrip(benchmark::State& state) {
  CRecord::Register();
  ListSet source;
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    Prjrep::AutoRelease<IRecord> record(CRecord::Make(static_cast<std::int32_t>(i)));
    std::ignore = source.Add(record);
  }
  for (auto _ : state) {
    Prjrep::AutoRelease<Prjrep::IStorage> storage(Prjrep::CreateStorage());
    auto* control = static_cast<Prjrep::IStorageControl*>(storage->QueryInterface(Prjrep::IStorageControl::GetIID()));
    ListSet loaded;
    if (source.PersistSave(storage) != Hvd::kSuccess || control->Rewind() != Hvd::kSuccess || loaded.PersistLoad(storage) != Hvd::kSuccess ||
        loaded.Size() != source.Size()) {
      state.SkipWithError("round trip failed");
    }
  }
  state.SetComplexityN(state.range(0));
  CitP::Factory::Shutdown();
}
BENCHMARK(BM_StorageRoundTrip)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

}  // namespace
