#pragma once
// The stand-in library's components: the project repository, the named-object registry
// and the event object, created by class id once registered.

namespace Prjrep {

// Registers the factories of the library's components with the host's factory registry.
// InstFactoryEntry, the library's entry for the host, does the same.
__attribute__((visibility("default"))) void RegisterComponents();

// Empties the process-wide table of the named-object registry, giving up its references.
// Called before shutting down, so that nothing registered outlives the host.
__attribute__((visibility("default"))) void ResetNamedObjectRegistry();

}  // namespace Prjrep
