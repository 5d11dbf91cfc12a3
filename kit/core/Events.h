#pragma once
// Event senders and receivers. Both sides keep plain pointers to each other and detach
// both ways when either is destroyed; a send keeps the sending component and the event
// alive while it calls the receivers.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Hvd/Status.h"
#include "Prjrep/IEvents.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Persist.h"

namespace Hvd {

// An ordered list of plain pointers, each at most once, in which a removal only empties
// an entry: a walk by position survives removals and additions made during it. Lookups
// are constant-time, so a receiver can follow thousands of senders; a short list, as most
// senders have, is searched instead, and costs no index.
template <class P>
class TSlotList {
 public:
  bool Contains(P p) const { return SlotOf(p) != kNone; }

  // Into the first empty entry, else at the end.
  void Add(P p) {
    std::size_t slot = m_slots.size();
    if (m_empty > 0) {
      while (m_slots[m_firstEmpty] != nullptr) ++m_firstEmpty;  // no empty entry lies before it
      slot = m_firstEmpty++;
      m_slots[slot] = p;
      --m_empty;
    } else {
      m_slots.push_back(p);
    }
    if (m_slots.size() == kScanned + 1 && slot == kScanned) {
      Reindex();  // the list has just grown past a search
    } else if (Indexed()) {
      Index(slot);
    }
  }

  // Empties the entry of `p`; false when `p` is not listed.
  bool Remove(P p) {
    std::size_t slot = kNone;
    if (!Indexed()) {
      slot = SlotOf(p);
    } else if (const std::size_t cell = p != nullptr ? CellOf(p) : kNone; cell != kNone) {
      slot = m_cells[cell];
      m_cells[cell] = kGone;
    }
    if (slot == kNone) return false;
    m_slots[slot] = nullptr;
    if (m_empty++ == 0 || slot < m_firstEmpty) m_firstEmpty = slot;
    return true;
  }

  std::size_t Length() const { return m_slots.size(); }
  P At(std::size_t i) const { return m_slots[i]; }
  std::size_t Count() const { return m_slots.size() - m_empty; }

  // Drops the empty entries, keeping the order of the others.
  void Compact() {
    std::vector<P> kept;
    kept.reserve(Count());
    for (P p : m_slots) {
      if (p != nullptr) kept.push_back(p);
    }
    m_slots.swap(kept);
    m_empty = 0;
    m_firstEmpty = 0;
    Reindex();
  }

 private:
  static constexpr std::size_t kScanned = 8;  // lists up to this long are searched
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  bool Indexed() const { return m_slots.size() > kScanned; }

  std::size_t SlotOf(P p) const {
    if (p == nullptr) return kNone;  // an empty entry is no listed pointer
    if (Indexed()) {
      const std::size_t cell = CellOf(p);
      return cell != kNone ? m_cells[cell] : kNone;
    }
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
      if (m_slots[i] == p) return i;
    }
    return kNone;
  }

  // The index is a flat open-addressed table of entry numbers only, compared through the
  // entries themselves: a receiver may follow tens of thousands of senders, and a key and a
  // value per cell would cost four times the room.
  static constexpr std::uint32_t kFree = 0xFFFFFFFFu;  // never used
  static constexpr std::uint32_t kGone = 0xFFFFFFFEu;  // a removed entry's cell

  std::size_t Mask() const { return m_cells.size() - 1; }
  std::size_t Home(P p) const {
    auto bits = reinterpret_cast<std::uintptr_t>(p);
    bits ^= bits >> 17;
    bits *= 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(bits >> 20) & Mask();
  }

  // The cell holding the entry of `p`, or kNone.
  std::size_t CellOf(P p) const {
    if (m_cells.empty()) return kNone;
    for (std::size_t i = Home(p);; i = (i + 1) & Mask()) {
      const std::uint32_t at = m_cells[i];
      if (at == kFree) return kNone;
      if (at != kGone && m_slots[at] == p) return i;
    }
  }

  // Indexes entry `slot`, which holds a pointer not indexed yet.
  void Index(std::size_t slot) {
    if ((m_usedCells + 1) * 3 > m_cells.size() * 2) {
      Reindex();  // indexes every entry, this one too
      return;
    }
    for (std::size_t i = Home(m_slots[slot]);; i = (i + 1) & Mask()) {
      if (m_cells[i] == kFree) ++m_usedCells;
      if (m_cells[i] == kFree || m_cells[i] == kGone) {
        m_cells[i] = static_cast<std::uint32_t>(slot);
        return;
      }
    }
  }

  // Rebuilt for the entries held: at most half full after, and rebuilt again past two
  // thirds, which keeps probes short.
  void Reindex() {
    std::vector<std::uint32_t>().swap(m_cells);
    m_usedCells = 0;
    if (!Indexed()) return;
    std::size_t capacity = 16;
    while (capacity < (Count() + 1) * 2) capacity *= 2;
    m_cells.assign(capacity, kFree);
    for (std::size_t slot = 0; slot < m_slots.size(); ++slot) {
      if (m_slots[slot] == nullptr) continue;
      for (std::size_t i = Home(m_slots[slot]);; i = (i + 1) & Mask()) {
        if (m_cells[i] == kFree) {
          m_cells[i] = static_cast<std::uint32_t>(slot);
          ++m_usedCells;
          break;
        }
      }
    }
  }

  std::vector<P> m_slots;
  std::vector<std::uint32_t> m_cells;  // while the list is longer than a search
  std::size_t m_usedCells = 0;         // cells not kFree
  std::size_t m_empty = 0;             // empty entries in m_slots
  std::size_t m_firstEmpty = 0;  // no entry before it is empty (while m_empty > 0)
};

}  // namespace Hvd

namespace Prjrep {

// The event sender of a component, embedded as a member.
class CEventSenderHelper final : public IEventSender {
 public:
  explicit CEventSenderHelper(CitI::IInterface* owner) noexcept : m_owner(owner) {}
  CEventSenderHelper(const CEventSenderHelper&) = delete;
  CEventSenderHelper& operator=(const CEventSenderHelper&) = delete;
  ~CEventSenderHelper() override;

  // Without an owner the sender is its own root; with one, every id is the owner's.
  auto QueryTable() {
    return Hvd::Table(Hvd::RowIf<IEventSender>(m_owner == nullptr, this),
                      Hvd::RowIf<CitI::IInterface>(m_owner == nullptr, this));
  }
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override;
  Hvd::Status AddReceiver(IEventReceiver* receiver) override;
  Hvd::Status RemoveReceiver(IEventReceiver* receiver) override;
  // Calls every receiver in list order; receivers added during the walk behind the
  // current position are called too, removed ones not yet reached are not.
  Hvd::Status Send(IEvent* event) override;
  // Waits for the outermost send to end when asked during one.
  Hvd::Status Purge() override;

  std::size_t ReceiverCount() const { return m_receivers.Count(); }
  // Lets go of every receiver, as a component's teardown does; no receiver can be added
  // meanwhile.
  void RemoveAllReceivers();

 private:
  CitI::IInterface* m_owner;
  Hvd::TSlotList<IEventReceiver*> m_receivers;
  bool m_destroying = false;
  int m_sendDepth = 0;
  bool m_purgePending = false;
};

// The event receiver of component `T`: passes every event to a handler of its owner.
template <class T>
class TBaseEventReceiverHelper : public Hvd::TComponent<TBaseEventReceiverHelper<T>, IEventReceiver> {
 public:
  using Handler = Hvd::Status (*)(T* owner, IEvent* event);

  // A handler that accepts every event and does nothing.
  static Hvd::Status IgnoreEvent(T*, IEvent*) { return Hvd::kSuccess; }

  explicit TBaseEventReceiverHelper(T* owner = nullptr, Handler handler = &IgnoreEvent) noexcept
      : m_owner(owner), m_handler(handler ? handler : &IgnoreEvent) {}
  TBaseEventReceiverHelper(const TBaseEventReceiverHelper&) = delete;
  TBaseEventReceiverHelper& operator=(const TBaseEventReceiverHelper&) = delete;

  ~TBaseEventReceiverHelper() override {
    m_destroying = true;
    DisconnectAll();
  }

  // Leaves every sender it listens to.
  void DisconnectAll() {
    for (std::size_t i = 0; i < m_senders.Length(); ++i) {
      if (IEventSender* sender = m_senders.At(i))
        std::ignore = sender->RemoveReceiver(this);  // calls back RemoveSender
    }
  }

  void SetOwner(T* owner, Handler handler) noexcept {
    m_owner = owner;
    m_handler = handler ? handler : &IgnoreEvent;
  }

  // Receivers answer only for themselves.
  auto QueryTable() { return Hvd::Table(Hvd::Row<IEventReceiver>(this), Hvd::Row<CitI::IInterface>(this)); }

  Hvd::Status ReceiveEvent(IEvent* event) override {
    if (event == nullptr) return Hvd::kFailure;
    AutoPtr<IEvent> keep(event);
    return m_handler(m_owner, event);
  }

  Hvd::Status AddSender(IEventSender* sender) override {
    if (m_destroying || sender == nullptr) return Hvd::kFailure;
    if (!m_senders.Contains(sender)) m_senders.Add(sender);
    return Hvd::kSuccess;
  }

  Hvd::Status RemoveSender(IEventSender* sender) override {
    if (sender == nullptr) return Hvd::kFailure;
    m_senders.Remove(sender);
    return Hvd::kSuccess;
  }

  // The senders' objects; a save stops at the first failed write.
  Hvd::Status PersistSave(IStorage* storage) override {
    if (storage == nullptr) return Hvd::kFailure;
    std::vector<IEventSender*> senders;
    for (std::size_t i = 0; i < m_senders.Length(); ++i) {
      if (IEventSender* sender = m_senders.At(i)) senders.push_back(sender);
    }
    return Hvd::SaveObjectList(storage, senders, senders.size(),
                               [](IEventSender* sender) -> CitI::IInterface* { return sender; });
  }

  // Reconnects to the senders read; a failed read connects none of them.
  Hvd::Status PersistLoad(IStorage* storage) override {
    return Hvd::LoadObjectList(storage, IEventSender::GetIID(), [this](CitI::IInterface* object) {
      std::ignore = static_cast<IEventSender*>(object)->AddReceiver(this);
      return Hvd::kSuccess;
    });
  }

  std::size_t SenderCount() const { return m_senders.Count(); }

 protected:
  // The senders it listens to, each once; an entry empties when its sender lets go.
  const Hvd::TSlotList<IEventSender*>& Senders() const { return m_senders; }

  T* m_owner;
  Handler m_handler;

 private:
  Hvd::TSlotList<IEventSender*> m_senders;
  bool m_destroying = false;
};

template <class T>
class TEventReceiverHelper : public TBaseEventReceiverHelper<T> {
 public:
  using TBaseEventReceiverHelper<T>::TBaseEventReceiverHelper;
};

}  // namespace Prjrep

namespace Hvd {

// Sends an event through the sender of `object`: kBadParameters when it has none, 0 when
// no event object could be made, else the sender's status.
Status SendEvent(CitI::IInterface* object, const Port::XUID& eventId, CitI::IInterface* argument);

// A new event object carrying `sender` exactly as given, the id and the argument; empty
// when none could be made.
Prjrep::AutoRelease<Prjrep::IEvent> CreateEvent(CitI::IInterface* sender, const Port::XUID& eventId,
                                                CitI::IInterface* argument);

// Registers the receiver of `receiver` with the sender of `sender`.
void ConnectEventReceiver(CitI::IInterface* sender, CitI::IInterface* receiver);

}  // namespace Hvd
