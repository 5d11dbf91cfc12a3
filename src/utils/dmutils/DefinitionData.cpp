// The def-data id behind an object, and what it tells: the type name, obsolescence.

#include <utility>

#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IDesign.h"
#include "Hvd/IFile.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IView.h"
#include "utils/DmUtils.h"
#include "utils/dmutils/Shared.h"

namespace Hvd {
namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

}  // namespace

AutoRelease<IDefDataId> GetDefDataId(CitI::IInterface* object) {
  if (object == nullptr) return nullptr;
  // The first of these that the object answers decides, even without a definition.
  AutoRelease<CitI::IInterface> definition;
  if (AutoCast<IFile> file(object); file.Get() != nullptr) {
    AutoRelease<IFileType> type;
    std::ignore = file->GetFileType(type.Receive());
    definition = AutoRelease<CitI::IInterface>(std::move(type));
  } else if (AutoCast<IView> view(object); view.Get() != nullptr) {
    AutoRelease<IViewType> type;
    std::ignore = view->GetType(type.Receive());
    definition = AutoRelease<CitI::IInterface>(std::move(type));
  } else if (AutoCast<IPropertyInstance> instance(object); instance.Get() != nullptr) {
    AutoRelease<IPropertyTemplate> type;
    std::ignore = instance->GetTemplate(type.Receive());
    definition = AutoRelease<CitI::IInterface>(std::move(type));
  } else {
    return dmutils::NewReference<IDefDataId>(object);
  }
  return dmutils::NewReference<IDefDataId>(definition.Get());
}

String GetDefDataIdName(CitI::IInterface* object) {
  String name;
  AutoRelease<IDefDataId> id = GetDefDataId(object);
  if (id.Get() != nullptr) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

AutoRelease<IDefDataId> GetDesignUnitDefDataIdOf(CitI::IInterface* object) {
  AutoCast<IDesignUnit> unit(object);
  if (unit.Get() == nullptr) return nullptr;
  AutoRelease<IDesignUnitType> type;
  std::ignore = unit->GetDesignUnitType(type.Receive());
  return dmutils::NewReference<IDefDataId>(type.Get());
}

String GetDesignUnitTypeName(CitI::IInterface* object) {
  String name;
  AutoRelease<IDefDataId> id = GetDesignUnitDefDataIdOf(object);
  if (id.Get() != nullptr) std::ignore = id->GetDefDataIdName(&name);
  return name;
}

bool IsDefDataObsolete(CitI::IInterface* object) {
  AutoRelease<IDefDataId> id = GetDefDataId(object);
  AutoCast<IDefDataObsolete> flag(id.Get());
  bool obsolete = true;
  if (flag.Get() != nullptr) std::ignore = flag->IsObsolete(&obsolete);
  return obsolete;
}

}  // namespace Hvd
