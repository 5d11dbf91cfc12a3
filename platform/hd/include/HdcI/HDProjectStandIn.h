#pragma once
// Registers the hierarchical-design project's factory; the component library that carries
// the stand-in calls it from its entry.

namespace HdcI {

void RegisterHDProject();

}  // namespace HdcI
