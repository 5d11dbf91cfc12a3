#pragma once
// The words with which callers ask the design for a view by its role.

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

// True when the object (a view, through its view type) has a type that the hint names:
// "AnyView", "BehavioralSim", "SynthesisOnly", "PostSynthSim", "PostTransSim", "PostMapSim"
// or "PostRouteSim". Any other hint fits no view.
bool ViewTypeMatchesHint(CitI::IInterface* object, const Port::StringBase<char>& hint);

}  // namespace Hvd
