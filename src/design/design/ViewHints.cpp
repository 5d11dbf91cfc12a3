#include "design/design/ViewHints.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "utils/DmUtils.h"

namespace Hvd {

bool ViewTypeMatchesHint(CitI::IInterface* object, const Port::StringBase<char>& hint) {
  const Port::StringBase<char> typeName = GetDefDataIdName(object);
  const std::string_view name = typeName;
  const auto isOneOf = [name](std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  const std::string_view word = hint;
  if (word == "AnyView") return name == "VIEW_Initial";
  if (word == "BehavioralSim") return isOneOf({"VIEW_AbstractSimulation", "VIEW_CPLDAbstractSimulation"});
  // Every synthesis view type, whatever its family, ends so.
  if (word == "SynthesisOnly") return name.ends_with("AbstractSynthesis");
  if (word == "PostSynthSim") return name == "VIEW_Post-SynthesisAbstractSimulation";
  if (word == "PostTransSim") return name == "VIEW_Post-TranslateAbstractSimulation";
  if (word == "PostMapSim") return name == "VIEW_Post-MapAbstractSimulation";
  if (word == "PostRouteSim") return isOneOf({"VIEW_Post-ParAbstractSimulation", "VIEW_Post-FitAbstractSimulation"});
  return false;
}

}  // namespace Hvd
