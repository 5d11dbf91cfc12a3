#pragma once
// The suite's inter-process connection: a manager that other programs of the suite reach
// the project through, its add-source handler and its shut-down request. The components
// live outside this library; a host without them leaves projects without a connection.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd::Ipc {

CITI_DEFINE_ID(ConnectionManagerClassId, "{C8101BE3-ACE0-4c91-A105-302ADD23A700}")
CITI_DEFINE_ID(AddSourceClassId, "{2C952DE8-CB85-441f-8E40-4A12430ADB3F}")
CITI_DEFINE_ID(ShutDownClassId, "{A95A2B14-D2E2-4052-94BF-4A9BBAC84DA8}")

// Takes requests to add source files to the project.
class IAddSource : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5607147E-BCE5-4d3f-830B-91035CCFE94C}")
};

// A request to end the connection.
class IShutDown : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{3AD44702-D6A3-455d-A15B-06188A65F927}")
};

class IConnectionManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{B6D019C6-E316-410f-BCD9-E94517F54999}")

  virtual Hvd::Status AddAddSource(IAddSource* handler) = 0;
  // The values the manager is started with; what they mean is the manager's own.
  virtual Hvd::Status GetChannel(std::int32_t* channel) = 0;
  virtual Hvd::Status GetAddress(Port::StringBase<char>* address) = 0;
  virtual Hvd::Status GetTimeout(std::int32_t* timeout) = 0;
  virtual Hvd::Status GetFlags(std::int32_t* flags) = 0;
  virtual Hvd::Status Start(std::int32_t channel, const Port::StringBase<char>& address, std::int32_t timeout,
                            std::int32_t flags) = 0;
  virtual Hvd::Status ShutDown(IShutDown* request, std::int32_t* result) = 0;
};

}  // namespace Hvd::Ipc
