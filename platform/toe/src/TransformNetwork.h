#pragma once
// The objects of the transform engine's network: transforms, their instances with run times,
// checksums, files and status values, and the bindings that tie views to them.

#include <cstdint>
#include <string>
#include <vector>

#include "Hvd/ICompAdmin.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/ITransformBindingInstance.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/Status.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"

namespace Hvd {

// The set behind a binding's iterator over its transform instances.
class ITransformInstanceSet : public Prjrep::TISet<ITransformInstance*, ITransformInstanceIterator> {
 public:
  CITI_DECLARE_IID("{18a18201-8510-4333-91b9-abe782f6c54d}")
};

// Status values by their place in the table of status names; 26 is the last there is.
enum StatusValue : std::uint32_t {
  kNeverRun = 0,
  kReset = 1,
  kOutOfDateForInputs = 13,
  kOutOfDateForPredecessor = 15,
  kOutOfDateForced = 17,
  kInputAdded = 20,
  kOutputRemoved = 25,
  kLastStatusValue = 26,
};

// A new set of objects holding one reference on each, with one reference for the caller.
Prjrep::AutoRelease<Prjrep::ISet> NewObjectSet();

// A transform, named by its definition in the base services' data.
class CTransform final : public TComponent<CTransform> {
 public:
  CTransform(CitI::IInterface* definition, std::string name);

  auto QueryTable() {
    return Table(Row<ITransform>(&m_XITransform), Row<IDefDataId>(&m_XIDefDataId), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(this));
  }

  const std::string& Name() const noexcept { return m_name; }
  // Borrowed; it answers ITransformDefinition and IDefDataObsolete.
  CitI::IInterface* Definition() const noexcept { return m_definition.Get(); }

 private:
  struct XITransform : TNested<CTransform, ITransform> {
    using TNested::TNested;
    Status GetInputTypes(IDefDataIdIterator** types) override;
    Status GetOutputTypes(IDefDataIdIterator** types) override;
  } m_XITransform{this};
  struct XIDefDataId : TNested<CTransform, IDefDataId> {
    using TNested::TNested;
    Status GetDefDataIdName(Port::StringBase<char>* name) override;
  } m_XIDefDataId{this};

  Prjrep::TRefCountHelper<CTransform> m_refCount{this};
  Prjrep::AutoPtr<CitI::IInterface> m_definition;
  std::string m_name;
};

// A point in time handed out on its own, so that callers can set it.
class CRunTime final : public TComponent<CRunTime> {
 public:
  auto QueryTable() {
    return Table(Row<Prjrep::ITimestamp>(&m_time), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(this));
  }

  // Orders two times; (0, 0) is the earliest and means "not set".
  bool IsLaterThan(CRunTime& other);
  bool IsSet();

 private:
  Prjrep::CTimestampHelper m_time{this};
  Prjrep::TRefCountHelper<CRunTime> m_refCount{this};
};

// The run of one transform in the network: its files, times, checksums and status values.
// Status values are those the callers recorded and those the engine calculated; the
// calculated ones are recalculated, the recorded ones stay until replaced.
class CTransformInstance final : public TComponent<CTransformInstance> {
 public:
  explicit CTransformInstance(CTransform* transform);

  auto QueryTable() {
    return Table(Row<ITransformInstance>(&m_XITransformInstance), Row<ITransformInstance2>(&m_XITransformInstance),
                 Row<IStatus>(&m_XIStatus), Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IRefCountV1>(&m_refCount),
                 Row<CitI::IInterface>(this));
  }

  CTransform& Transform() const noexcept { return *m_transform.Get(); }
  bool HasRun() { return m_start->IsSet() || m_end->IsSet(); }
  // Whether this run ended after `later` started, which makes `later` out of date.
  bool EndedAfterStartOf(CTransformInstance& later) { return m_end->IsLaterThan(*later.m_start); }
  bool HasStatusValues() const noexcept { return !m_values.empty(); }
  void AddValue(std::uint32_t value, bool calculated);
  void ForgetCalculated();
  // Its inputs are placed again when the network is rebuilt.
  void ForgetInputs();

 private:
  struct Value {
    std::uint32_t value;
    bool calculated;
  };

  struct XITransformInstance : TNested<CTransformInstance, ITransformInstance2> {
    using TNested::TNested;
    Status GetTransform(ITransform** transform) override;
    Status GetInputFiles(Prjrep::ISet** files) override;
    Status GetOutputFiles(Prjrep::ISet** files) override;
    Status GetStartTime(Prjrep::ITimestamp** time) override;
    Status GetEndTime(Prjrep::ITimestamp** time) override;
    Status GetPropertyChecksum(std::int64_t* checksum) override;
    Status SetPropertyChecksum(std::int64_t checksum) override;
    Status GetInputChecksum(std::int64_t* checksum) override;
    Status SetInputChecksum(std::int64_t checksum) override;
  } m_XITransformInstance{this};

  struct XIStatus : TNested<CTransformInstance, IStatus> {
    using TNested::TNested;
    Status GetStatusValues(IStatusValueIterator** values) override;
    Status HasStatusValue(std::uint32_t value, bool* has) override;
    Status AddStatusValue(std::uint32_t value) override;
    Status GetStatusFlag(bool* flag) override;
    Status SetStatusValue(std::uint32_t value) override;
  } m_XIStatus{this};

  Prjrep::TRefCountHelper<CTransformInstance> m_refCount{this};
  Prjrep::AutoPtr<CTransform> m_transform;
  Prjrep::AutoPtr<Prjrep::ISet> m_inputs;
  Prjrep::AutoPtr<Prjrep::ISet> m_outputs;
  Prjrep::AutoPtr<CRunTime> m_start;
  Prjrep::AutoPtr<CRunTime> m_end;
  std::int64_t m_propertyChecksum = 0;
  std::int64_t m_inputChecksum = 0;
  std::vector<Value> m_values;
};

// A binding: the objects on its first and second side hold it in their first and second
// binding sets; it leads to its targets through its transform instances. It holds every
// object it lists with a reference, so the engine unhooks it to let them go.
class CTransformBinding final : public TComponent<CTransformBinding> {
 public:
  static const Port::XUID& GetCLSID() { return TransformBindingClassId(); }

  CTransformBinding();

  auto QueryTable() {
    return Table(Row<ITransformBindingInstance>(&m_XITransformBindingInstance), Row<ICompAdmin>(&m_XICompAdmin),
                 Row<Prjrep::IPersist>(&m_persist), Row<Prjrep::IRefCount>(&m_refCount),
                 Row<Prjrep::IRefCountV1>(&m_refCount), Row<CitI::IInterface>(this));
  }

  // Binds the instance and its transform.
  Status SetInstance(CTransformInstance* instance);
  Status AddTarget(CitI::IInterface* target);
  // Enters the binding in the holder's first or second binding set, and the holder in the
  // binding's objects of that side.
  Status Attach(CitI::IInterface* holder, bool firstSide);
  // Takes the binding out of every binding set that holds it and lets go of everything.
  void Unhook();

  // The stored form is the transform's name; the network itself is rebuilt, not stored.
  Status LoadFrom(Prjrep::IStorage* storage);
  Status SaveTo(Prjrep::IStorage* storage);

 private:
  struct XITransformBindingInstance : TNested<CTransformBinding, ITransformBindingInstance> {
    using TNested::TNested;
    Status GetDefinition(CitI::IInterface** definition) override;
    Status GetTransformInstances(ITransformInstanceIterator** instances) override;
    Status GetTargets(Prjrep::IIterator** targets) override;
    Status ReservedOperation5() override { return kNotSupported; }
    Status GetSecondSideObjects(Prjrep::ISet** objects) override;
    Status GetFirstSideObjects(Prjrep::ISet** objects) override;
  } m_XITransformBindingInstance{this};

  struct XICompAdmin : TNested<CTransformBinding, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* owner, CitI::IInterface* definition) override;
    Status InitializeAfterLoad(CitI::IInterface* owner) override {
      return owner != nullptr ? kSuccess : kInvalidParameter;
    }
    // A binding listens to nothing.
    Status RegisterForNotifications() override { return kSuccess; }
    Status Teardown() override {
      This().Unhook();
      return kSuccess;
    }
  } m_XICompAdmin{this};

  Prjrep::TPersistHelper<CTransformBinding> m_persist{this};
  Prjrep::TRefCountHelper<CTransformBinding> m_refCount{this};
  std::string m_name;
  Prjrep::AutoPtr<CitI::IInterface> m_definition;
  Prjrep::AutoPtr<ITransformInstanceSet> m_instances;
  Prjrep::AutoPtr<Prjrep::ISet> m_targets;
  Prjrep::AutoPtr<Prjrep::ISet> m_firstSide;
  Prjrep::AutoPtr<Prjrep::ISet> m_secondSide;
};

}  // namespace Hvd
