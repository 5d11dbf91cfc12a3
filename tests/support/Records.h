#pragma once
// A small persistent component for storage round trips: one number, made by class id, counted.

#include <atomic>

#include "CitP/Factory.h"
#include "Hvd/Status.h"
#include "Prjrep/ISet.h"
#include "core/Factory.h"
#include "core/Interface.h"
#include "core/Persist.h"

namespace testing_support {
using Hvd::kFailure, Hvd::kSuccess, Hvd::Status;

// Registers the factory of test class `X` with the host's registry.
template <class X>
void RegisterTestFactory() {
  Hvd::RegisterFactoriesOf<X>();
}

struct IRecord : CitI::IInterface {
  CITI_DECLARE_IID("{0E0E0E0E-5555-4555-8555-555555555501}")
  virtual std::int32_t Value() = 0;
  virtual void SetValue(std::int32_t value) = 0;
};

struct IRecordIterator : Prjrep::TIIterator<IRecord*> {
  CITI_DECLARE_IID("{0E0E0E0E-5555-4555-8555-555555555502}")
};

struct IRecordSet : Prjrep::TISet<IRecord*, IRecordIterator> {
  CITI_DECLARE_IID("{0E0E0E0E-5555-4555-8555-555555555503}")
};

struct CRecord : Hvd::TComponent<CRecord> {
  CITI_DECLARE_CLSID("{0E0E0E0E-5555-4555-8555-555555555504}")
  CRecord() { ++s_alive; }
  ~CRecord() override { --s_alive; }
  auto QueryTable() {
    return Hvd::Table(Hvd::Row<IRecord>(&m_XIRecord), Hvd::Row<Prjrep::IPersist>(&m_persist),
                      Hvd::Row<Prjrep::IRefCount>(&m_refCount), Hvd::Row<CitI::IInterface>(&m_XIRecord));
  }
  Hvd::Status LoadFrom(Prjrep::IStorage* storage) { return storage->ReadInt32(&m_value); }
  Hvd::Status SaveTo(Prjrep::IStorage* storage) { return storage->WriteInt32(m_value); }
  // A new record with one reference for the caller.
  static IRecord* Make(std::int32_t value) {
    auto* record = new CRecord;
    record->m_value = value;
    return &record->m_XIRecord;
  }
  static void Register() { RegisterTestFactory<CRecord>(); }
  static inline std::atomic<int> s_alive{0};
  struct XIRecord : Hvd::TNested<CRecord, IRecord> {
    using TNested::TNested;
    std::int32_t Value() override { return This().m_value; }
    void SetValue(std::int32_t value) override { This().m_value = value; }
  } m_XIRecord{this};
  Prjrep::TPersistHelper<CRecord> m_persist{this};
  Prjrep::TRefCountHelper<CRecord> m_refCount{this};
  std::int32_t m_value = 0;
};

}  // namespace testing_support
