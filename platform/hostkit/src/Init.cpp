#include "Port/Init.h"

// File access and path lists keep no state in this host; the objects only mark the order.
Port::FileInit::FileInit() = default;
Port::PathListInit::PathListInit() = default;
