// The design's full teardown (the design ends) and its partial one (the project reloads).

#include "design/design/CDesign.h"

namespace Hvd {

// A partial teardown keeps the project, the platform with the design listening to it, and the
// design's own receivers; the next set-up fills the platform again.
Status CDesign::TearDown(bool full) {
  if (!m_initialised) return kSuccess;
  Prjrep::AutoCast<Prjrep::IEventSender> platformSender(m_platform.Get());
  m_receiver.Detach(full ? nullptr : platformSender.Get());
  if (full) m_eventSender.RemoveAllReceivers();

  // The engine lets go of the views of its network before the views are torn down.
  std::ignore = m_engine.Assign(nullptr);
  if (Prjrep::AutoCast<Ppm::IPropertyMgrInternal> internal(m_propertyManager.Get()); internal)
    std::ignore = internal->SetProject(nullptr);
  std::ignore = m_propertyManager.Assign(nullptr);
  std::ignore = m_properties.Clear();

  if (full) {
    if (Prjrep::AutoCast<ICompAdmin> admin(m_platform.Get()); admin) std::ignore = admin->Teardown();
    std::ignore = m_platform.Assign(nullptr);
    m_project = nullptr;
  } else if (m_platform) {
    if (Prjrep::AutoCast<IDesignPlatformInternal> internal(m_platform.Get()); internal)
      std::ignore = internal->PartialTeardown();
    m_platformEmptied = true;
  }
  TearDownViews();
  m_initialised = false;
  return kSuccess;
}

}  // namespace Hvd
