// Cost of the operations every component call goes through: a query, and a counted hold.

#include <benchmark/benchmark.h>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "core/Factory.h"
#include "core/Holders.h"

namespace {

struct Registered {
  Registered() { InstFactoryEntry(); }
  ~Registered() { CitP::Factory::Shutdown(); }
};

void BM_QueryRefCount(benchmark::State& state) {
  Registered registered;
  Prjrep::AutoRelease<CitI::IInterface> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  for (auto _ : state) benchmark::DoNotOptimize(project->QueryInterface(Prjrep::IRefCount::GetIID()));
}
BENCHMARK(BM_QueryRefCount);

void BM_AutoPtrHoldAndLetGo(benchmark::State& state) {
  Registered registered;
  Prjrep::AutoRelease<CitI::IInterface> project(CitP::Factory::CreateInstance(Hvd::ClassId::Project()));
  for (auto _ : state) {
    Prjrep::AutoPtr<CitI::IInterface> hold(project.Get());
    benchmark::DoNotOptimize(hold.Get());
  }
}
BENCHMARK(BM_AutoPtrHoldAndLetGo);

void BM_CreateAndRelease(benchmark::State& state) {
  Registered registered;
  for (auto _ : state) {
    Prjrep::AutoRelease<CitI::IInterface> view(CitP::Factory::CreateInstance(Hvd::ClassId::View()));
    benchmark::DoNotOptimize(view.Get());
  }
}
BENCHMARK(BM_CreateAndRelease);

}  // namespace
