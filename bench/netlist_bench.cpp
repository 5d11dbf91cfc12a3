// Path search under one wide node: every child's instance path is read once, so the cost grows with
// the fan-out.

#include <benchmark/benchmark.h>

#include <string>

#include "support/FakeNetlist.h"
#include "utils/NetlistLookup.h"

namespace {

using testing_support::FakeNetNode;

void BM_FindNodeByInstancePath(benchmark::State& state) {
  const auto fanOut = static_cast<int>(state.range(0));
  FakeNetNode top("/top", "TOP");
  for (int i = 0; i < fanOut; ++i) top.Add("/top/u" + std::to_string(i), "CELL");
  // The last child: every sibling is looked at first.
  const Port::StringBase<char> wanted("/top/u" + std::to_string(fanOut - 1));
  for (auto _ : state) benchmark::DoNotOptimize(Hvd::FindNodeByInstancePath(&top, wanted));
  state.SetComplexityN(fanOut);
  if (top.SubtreeReferences() != 0) state.SkipWithError("references left on the tree");
}
BENCHMARK(BM_FindNodeByInstancePath)->RangeMultiplier(4)->Range(1 << 8, 50000)->Complexity(benchmark::oN);

}  // namespace
