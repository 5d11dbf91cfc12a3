// Files announcing changes to views: n senders, each connected to 10 receivers, then one
// send per sender.

#include <benchmark/benchmark.h>

#include <vector>

#include "CitP/Factory.h"
#include "Prjrep/StandIns.h"
#include "framework/Events.h"

namespace {

const Port::XUID kChanged("{3C3C3C3C-9999-4999-8999-999999999901}");

class CNode : public CitI::IInterface {
 public:
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return Hvd::AnswerQuery(iid, {{Prjrep::IEventSender::GetIID(), &m_sender},
                                  {Prjrep::IEventReceiver::GetIID(), &m_receiver},
                                  {Prjrep::IRefCount::GetIID(), &m_refCount},
                                  {CitI::IInterface::GetIID(), this}});
  }
  static std::uint64_t Count(CNode* self, Prjrep::IEvent*) {
    ++self->m_received;
    return 1;
  }
  Prjrep::CEventSenderHelper m_sender{this};
  Prjrep::TEventReceiverHelper<CNode> m_receiver{this, &CNode::Count};
  Prjrep::TRefCountHelper<CNode> m_refCount{this};
  std::int64_t m_received = 0;
};

void BM_ConnectAndSendOnce(benchmark::State& state) {
  Prjrep::RegisterComponents();
  constexpr int kViews = 10;
  for (auto _ : state) {
    std::vector<CNode*> views(kViews), files(static_cast<std::size_t>(state.range(0)));
    for (auto& v : views) v = new CNode;
    for (auto& f : files) f = new CNode;
    for (CNode* f : files) {
      for (CNode* v : views) Hvd::ConnectEventReceiver(f, v);
    }
    for (CNode* f : files) Hvd::SendEvent(f, kChanged, f);
    if (views[0]->m_received != state.range(0)) state.SkipWithError("events lost");
    for (CNode* f : files) Prjrep::ReleaseInterface(f);
    for (CNode* v : views) Prjrep::ReleaseInterface(v);
  }
  state.SetComplexityN(state.range(0));
  CitP::Factory::Shutdown();
}
BENCHMARK(BM_ConnectAndSendOnce)->RangeMultiplier(4)->Range(1 << 10, 1 << 14)->Complexity();

}  // namespace
