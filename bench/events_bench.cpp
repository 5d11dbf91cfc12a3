// Files announcing changes to views: n senders, each connected to 10 receivers, then one
// send per sender.

#include <benchmark/benchmark.h>

#include <vector>

#include "CitP/Factory.h"
#include "Prjrep/StandIns.h"
#include "support/EventNode.h"

using testing_support::CNode;

namespace {

const Port::XUID kChanged("{3C3C3C3C-9999-4999-8999-999999999901}");

// Views only count what they receive, so that the send is what is measured.
std::int64_t g_received = 0;
Hvd::Status Count(CNode*, Prjrep::IEvent*) {
  ++g_received;
  return Hvd::kSuccess;
}

void BM_ConnectAndSendOnce(benchmark::State& state) {
  Prjrep::RegisterComponents();
  constexpr int kViews = 10;
  for (auto _ : state) {
    std::vector<CNode*> views(kViews);
    std::vector<CNode*> files(static_cast<std::size_t>(state.range(0)));
    for (auto& v : views) {
      v = new CNode;
      v->m_receiver.SetOwner(v, &Count);
    }
    for (auto& f : files) f = new CNode;
    for (CNode* f : files) {
      for (CNode* v : views) Hvd::ConnectEventReceiver(f, v);
    }
    g_received = 0;
    for (CNode* f : files) std::ignore = Hvd::SendEvent(f, kChanged, f);
    if (g_received != kViews * state.range(0)) state.SkipWithError("events lost");
    for (CNode* f : files) f->Release();
    for (CNode* v : views) v->Release();
  }
  state.SetComplexityN(state.range(0));
  CitP::Factory::Shutdown();
}
BENCHMARK(BM_ConnectAndSendOnce)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Complexity();

}  // namespace
