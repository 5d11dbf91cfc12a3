// The HDL scanner on shapes of text that once cost more than their length: many distinct package
// references in one unit, and instances inside named blocks nested as deep as they are many.
// Both should grow linearly with the count, in time and in what the scan keeps.
// HDL_BENCH_QUICK=1 shrinks every size for the test command's quick pass.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "HdlScan/Scan.h"

namespace {

using namespace Hdl::scan;

void Sizes(benchmark::internal::Benchmark* b) {
  const bool quick = std::getenv("HDL_BENCH_QUICK") != nullptr;
  for (int count : quick ? std::vector<int>{200, 400} : std::vector<int>{5000, 20000, 80000}) b->Arg(count);
}

void Scan(benchmark::State& state, const std::string& text, Language language) {
  const ScanOptions options;
  for (auto _ : state) {
    const ScanResult result = ScanText(text, language, "t", options);
    benchmark::DoNotOptimize(result.units.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetComplexityN(state.range(0));
}

void BM_DistinctImports(benchmark::State& state) {
  std::string text = "module m;\n";
  for (std::int64_t i = 0; i < state.range(0); ++i) text += "  import p" + std::to_string(i) + "::*;\n";
  Scan(state, text + "endmodule\n", Language::kSystemVerilog);
}
BENCHMARK(BM_DistinctImports)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_DistinctUseClauses(benchmark::State& state) {
  std::string text;
  for (std::int64_t i = 0; i < state.range(0); ++i) text += "use work.p" + std::to_string(i) + ".all;\n";
  Scan(state, text + "entity e is end;\n", Language::kVhdl);
}
BENCHMARK(BM_DistinctUseClauses)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_NestedNamedBlocks(benchmark::State& state) {
  std::string text = "module m (input x);\n";
  for (std::int64_t i = 0; i < state.range(0); ++i) {
    text += "if (1) begin : b" + std::to_string(i) + "\n  leaf u" + std::to_string(i) + " (.a(x));\n";
  }
  for (std::int64_t i = 0; i < state.range(0); ++i) text += "end\n";
  Scan(state, text + "endmodule\n", Language::kVerilog);
}
BENCHMARK(BM_NestedNamedBlocks)->Apply(Sizes)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
