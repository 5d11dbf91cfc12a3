#pragma once
// The processes of the transform engine's network: a transform (a kind of process, named by its
// definition id), its instances with their input and output files, run times, checksums and
// status values.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Prjrep/ISet.h"

namespace Prjrep {
class ITimestamp;
}

namespace Hvd {

class IDefDataIdIterator;

// A transform; it answers IDefDataId, whose name is the transform's name.
class ITransform : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{B0AFD5EE-4818-4F14-A00A-917B2AC37524}")

  // A new iterator over the file types that the transform takes, with one reference.
  virtual Hvd::Status GetInputTypes(IDefDataIdIterator** types) = 0;
  // A new iterator over the file types that the transform produces, with one reference.
  virtual Hvd::Status GetOutputTypes(IDefDataIdIterator** types) = 0;
};

// One run of a transform for one view; it may answer ITransformInstance2 and IStatus.
class ITransformInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{28B93F81-D38F-4B22-80EE-7E211FBC0677}")

  // The instance's transform, with one reference.
  virtual Hvd::Status GetTransform(ITransform** transform) = 0;
  // The set of input files (elements answer IFile), with one reference; callers add to it.
  virtual Hvd::Status GetInputFiles(Prjrep::ISet** files) = 0;
  // The set of produced files (elements answer IFile), with one reference; callers add to it.
  virtual Hvd::Status GetOutputFiles(Prjrep::ISet** files) = 0;
};

// The same object: when it last ran and what it ran on.
class ITransformInstance2 : public ITransformInstance {
 public:
  CITI_DECLARE_IID("{432e1c66-b7b8-428d-9152-27c380c760c9}")

  // The start of the last run, with one reference; callers may set it.
  virtual Hvd::Status GetStartTime(Prjrep::ITimestamp** time) = 0;
  // The end of the last run, with one reference; callers may set it.
  virtual Hvd::Status GetEndTime(Prjrep::ITimestamp** time) = 0;
  // The checksum of the properties of the last run; 0 for none.
  virtual Hvd::Status GetPropertyChecksum(std::int64_t* checksum) = 0;
  // Records the checksum of the properties of the last run.
  virtual Hvd::Status SetPropertyChecksum(std::int64_t checksum) = 0;
  // The checksum of the inputs of the last run; 0 for none.
  virtual Hvd::Status GetInputChecksum(std::int64_t* checksum) = 0;
  // Records the checksum of the inputs of the last run.
  virtual Hvd::Status SetInputChecksum(std::int64_t checksum) = 0;
};

class ITransformInstanceIterator : public Prjrep::TIIterator<ITransformInstance*> {
 public:
  CITI_DECLARE_IID("{D1AD73C4-04F9-4046-8672-C076120C0046}")
};

// Status values, 0 ("NeverRun") to 26, in the order the instance reports them.
class IStatusValueIterator : public Prjrep::TIIterator<std::uint32_t> {
 public:
  CITI_DECLARE_IID("{3DA4DA77-F3B5-4FFE-8BA5-7AA14CA7A079}")
};

// The status of a transform instance (the same object): a list of status values 0 to 26.
class IStatus : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{81FEEA1E-D127-4b77-A673-3D8440659B95}")

  // A new iterator over the instance's status values, with one reference.
  virtual Hvd::Status GetStatusValues(IStatusValueIterator** values) = 0;
  // Whether `value` is among the instance's status values.
  virtual Hvd::Status HasStatusValue(std::uint32_t value, bool* has) = 0;
  // Adds `value` to the instance's status values.
  virtual Hvd::Status AddStatusValue(std::uint32_t value) = 0;
  // The engine's own flag of the instance's status.
  virtual Hvd::Status GetStatusFlag(bool* flag) = 0;
  // Makes `value` the instance's status.
  virtual Hvd::Status SetStatusValue(std::uint32_t value) = 0;
};

}  // namespace Hvd
