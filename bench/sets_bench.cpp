// Add, iterate and remove-all through an iterator, for each container form of the sets.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "support/SetKinds.h"

using namespace testing_support;

namespace {

struct Records {
  std::vector<IRecord*> items;
  explicit Records(std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) items.push_back(CRecord::Make(static_cast<std::int32_t>(i)));
  }
  ~Records() {
    for (IRecord* item : items) Prjrep::ReleaseInterface(item);
  }
};

template <class Set, class Iterator>
void IterateAndRemoveAll(benchmark::State& state, Set& set) {
  Iterator* it = nullptr;
  std::ignore = set.GetIterator(&it);
  std::size_t seen = 0;
  for (; !it->IsDone(); std::ignore = it->Next()) ++seen;
  std::ignore = it->Reset();
  while (!it->IsDone()) std::ignore = set.Remove(it);
  Prjrep::ReleaseInterface(it);
  if (seen != static_cast<std::size_t>(state.range(0)) || set.Size() != 0) state.SkipWithError("wrong count");
}

template <class Set>
void BM_PointerSet(benchmark::State& state) {
  Records records(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    Set set;
    for (IRecord* r : records.items) std::ignore = set.Add(r);
    IterateAndRemoveAll<Set, IRecordIterator>(state, set);
  }
  state.SetComplexityN(state.range(0));
}

void BM_KeyedSet(benchmark::State& state) {
  Records records(static_cast<std::size_t>(state.range(0)));
  std::vector<Port::StringBase<char>> keys;
  for (std::size_t i = 0; i < records.items.size(); ++i) keys.emplace_back("file_" + std::to_string(i) + ".vhd");
  for (auto _ : state) {
    RecordSets::Keyed set;
    for (std::size_t i = 0; i < keys.size(); ++i) std::ignore = set.SetByKey(keys[i], records.items[i]);
    IterateAndRemoveAll<RecordSets::Keyed, IRecordIterator>(state, set);
  }
  state.SetComplexityN(state.range(0));
}

template <class Set>
void BM_StringSet(benchmark::State& state) {
  std::vector<Port::StringBase<char>> values;
  for (std::int64_t i = 0; i < state.range(0); ++i) values.emplace_back("locator/" + std::to_string(i));
  for (auto _ : state) {
    Set set;
    for (const auto& v : values) std::ignore = set.Add(v);
    IterateAndRemoveAll<Set, Prjrep::IStringIterator>(state, set);
  }
  state.SetComplexityN(state.range(0));
}

#define HVD_SET_BENCH(...) \
  BENCHMARK(__VA_ARGS__)->RangeMultiplier(10)->Range(1000, 100000)->Complexity()

HVD_SET_BENCH(BM_PointerSet<RecordSets::List>);
HVD_SET_BENCH(BM_PointerSet<RecordSets::Pointer>);
HVD_SET_BENCH(BM_KeyedSet);
HVD_SET_BENCH(BM_PointerSet<RecordSets::Vector>);
HVD_SET_BENCH(BM_StringSet<StringListSet>);
HVD_SET_BENCH(BM_StringSet<StringVectorSet>);

}  // namespace
