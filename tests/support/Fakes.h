#pragma once
// Test components whose reference counting is recorded call by call.

#include <atomic>

#include "CommonI/IRefCount.h"
#include "Hvd/Status.h"
#include "Prjrep/IRefCount.h"
#include "core/Interface.h"

namespace testing_support {
using Hvd::kFailure, Hvd::kSuccess, Hvd::Status;

struct ITestA : CitI::IInterface {
  CITI_DECLARE_IID("{0A0A0A0A-1111-4111-8111-111111111111}")
  virtual int A() = 0;
};

struct ITestB : CitI::IInterface {
  CITI_DECLARE_IID("{0B0B0B0B-2222-4222-8222-222222222222}")
  virtual int B() = 0;
};

struct ITestNone : CitI::IInterface {  // an id that no test component answers
  CITI_DECLARE_IID("{0C0C0C0C-3333-4333-8333-333333333333}")
};

// What happened to a fake: every AddRef and Release, and its destruction.
struct CountLog {
  std::atomic<int> addRefs{0}, releases{0}, destroyed{0};
  int Net() const { return addRefs - releases; }
};

enum class Counting { Prjrep, Common, None };  // which reference-count interface a fake answers

// A component with two interfaces (ITestA, ITestB) as nested objects, a recorded count
// starting at 1, and the root id answered by its ITestA object.
struct FakeComponent : Hvd::TComponent<FakeComponent> {
  explicit FakeComponent(CountLog& log, Counting counting = Counting::Prjrep) : m_log(log), m_counting(counting) {}
  ~FakeComponent() override { ++m_log.destroyed; }
  auto QueryTable() {
    const bool prjrep = m_counting == Counting::Prjrep;
    return Hvd::Table(Hvd::Row<ITestA>(&m_a), Hvd::Row<ITestB>(&m_b), Hvd::RowIf<Prjrep::IRefCount>(prjrep, &m_prjrep),
                      Hvd::RowIf<Prjrep::IRefCountV1>(prjrep, &m_prjrep),
                      Hvd::RowIf<CommonI::IRefCount>(m_counting == Counting::Common, &m_common),
                      Hvd::Row<CitI::IInterface>(&m_a));
  }
  ITestA* AsA() { return &m_a; }
  ITestB* AsB() { return &m_b; }
  int Count() const { return m_count; }
  struct XA : Hvd::TNested<FakeComponent, ITestA> {
    using TNested::TNested;
    int A() override { return 1; }
  };
  struct XB : Hvd::TNested<FakeComponent, ITestB> {
    using TNested::TNested;
    int B() override { return 2; }
  };
  struct XPrjrep : Hvd::TNested<FakeComponent, Prjrep::IRefCount> {
    using TNested::TNested;
    Hvd::Status AddRef() override { return This().DoAddRef(); }
    Hvd::Status Release() override { return This().DoRelease(); }
    std::int32_t GetRefCount() override { return This().m_count; }
  };
  struct XCommon : Hvd::TNested<FakeComponent, CommonI::IRefCount> {
    using TNested::TNested;
    std::uint64_t AddRef() override { return Hvd::CodeOf(This().DoAddRef()); }
    std::uint64_t Release() override { return Hvd::CodeOf(This().DoRelease()); }
    std::uint64_t GetRefCount(std::int32_t& count) override { return count = This().m_count, 1; }
  };
  Hvd::Status DoAddRef() { return ++m_log.addRefs, ++m_count, Hvd::kSuccess; }
  Hvd::Status DoRelease() {
    ++m_log.releases;
    if (--m_count == 0) delete this;
    return Hvd::kSuccess;
  }
  CountLog& m_log;
  Counting m_counting;
  std::atomic<int> m_count{1};
  XA m_a{this};
  XB m_b{this};
  XPrjrep m_prjrep{this};
  XCommon m_common{this};
};

}  // namespace testing_support
