#pragma once
// The one start of the XML platform (Xerces) in a process, which the library and every stand-in
// share. Xerces counts its starts and stops without a lock, so nothing else may start or stop it.

namespace Hvd {

// Starts the XML platform; thread-safe, and cheap once started. It stays started until the
// process exits. False when it could not be started; every parse and serialization then fails.
bool StartXmlPlatform() noexcept;

}  // namespace Hvd
