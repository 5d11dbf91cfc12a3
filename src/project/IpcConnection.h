#pragma once
// The project's connection to the other programs of the suite. Connection managers outlive
// the projects that made them: a project hands its manager to a process-wide pool when its
// state is reset, and the next project that asks takes it from there instead of starting
// another one.

#include "Hvd/Ipc/IConnectionManager.h"
#include "Hvd/Status.h"
#include "Prjrep/IEvents.h"
#include "core/Holders.h"

namespace Hvd {

// The most recently pooled manager, taken out of the pool as it is. With the pool empty, a
// new manager with an add-source handler, `receiver` registered with its event sender (when
// the manager has one and a receiver is given), started. Empty when the host registers no
// connection manager.
Prjrep::AutoRelease<Ipc::IConnectionManager> ObtainConnectionManager(Prjrep::IEventReceiver* receiver);

// Appends the held manager to the pool and empties `manager`; an empty holder does nothing.
void ReturnConnectionManager(Prjrep::AutoPtr<Ipc::IConnectionManager>& manager);

// Asks `manager` to end the connection with a new shut-down request: the manager's status,
// or 0 without a manager or a shut-down request component.
Status ShutDownConnectionManager(Ipc::IConnectionManager* manager);

// Gives up every pooled manager.
void DrainConnectionManagerPool();

}  // namespace Hvd
