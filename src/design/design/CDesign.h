#pragma once
// The design of a project: it owns the views, the design platform, the transform engine, the
// property manager and its own design-name property. It is not stored: its views are made
// again from the project file and whenever the device choice changes.

#include <list>

#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IPropertyContext.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IName.h"
#include "Prjrep/IPersist.h"
#include "core/Events.h"
#include "core/Holders.h"
#include "core/Interface.h"
#include "core/Names.h"
#include "core/Persist.h"
#include "core/RefCount.h"
#include "core/Sets.h"
#include "design/DetachingReceiver.h"
#include "framework/StateHelper.h"
#include "framework/PropertyContext.h"

namespace Hvd {

class CDesign final : public TComponent<CDesign> {
 public:
  using String = Port::StringBase<char>;

  static const Port::XUID& GetCLSID() { return ClassId::Design(); }

  // The design is never stored: it is made anew from its project.
  Status LoadFrom(Prjrep::IStorage*) { return kNotSupported; }

  CDesign();
  CDesign(const CDesign&) = delete;
  CDesign& operator=(const CDesign&) = delete;
  ~CDesign() override;

  auto QueryTable() {
    return Table(
        Row<Prjrep::IPersist>(&m_XIPersist), Row<Prjrep::IName>(&m_name), Row<IPropertyInstanceSet>(&m_properties),
        Row<IDesign>(&m_XIDesign), Row<IViewManager>(&m_XIViewManager), Row<IViewManagerV1>(&m_XIViewManager),
        Row<IReconcileToDefData>(&m_XIReconcileToDefData), Row<IState>(&m_states),
        Row<Prjrep::IEventSender>(&m_eventSender), Row<Prjrep::IEventReceiver>(&m_receiver),
        Row<Prjrep::IRefCount>(&m_refCount), Row<IPropertyContext>(&m_propertyContext), Row<ICompAdmin>(&m_XICompAdmin),
        Row<IDesignInternal>(&m_XIDesignInternal), Row<CitI::IInterface>(&m_XIDesign));
  }

  // The property context's parent: the project's context, with one reference.
  Status GetContextParent(IPropertyContext** parent);

 private:
  using ViewList = Prjrep::TSequenceSetHelper<IView*, IViewSet, IViewIterator, std::list<IView*>>;
  using PropertyList = Prjrep::TSequenceSetHelper<IPropertyInstance*, IPropertyInstanceSet, IPropertyInstanceIterator,
                                                  std::list<IPropertyInstance*>>;

  Prjrep::TPersistHelper<CDesign> m_XIPersist{this};

  struct XIDesign : TNested<CDesign, IDesign> {
    using TNested::TNested;
    Status GetDesignPlatform(IDesignPlatform** platform) override;
    Status SetDesignPlatform(IDesignPlatform* platform) override;
    Status GetDesignUnits(IHdlDesignUnitIterator** units) override;
    Status GetTOE(ITransformEngine** engine) override;
    Status GetDataStore(IDataStore** store) override;
    Status GetPropertyManager(IPropertyManager** manager) override;
    Status GetProject(IProject** project) override;
    Status GetDefaultParserConfig(IHdlParserConfig** config) override;
  } m_XIDesign{this};

  struct XIViewManager : TNested<CDesign, IViewManagerV1> {
    using TNested::TNested;
    Status GetViews(IViewIterator** views) override;
    Status CreateView(const String& name, IViewType* type, IView** view) override;
    Status RemoveViewAt(IViewIterator* at) override;
    Status RemoveView(IView* view) override;
    Status FindViewByHint(const String& hint, IViewIterator** at) override;
    Status FindView(IView* view, IViewIterator** at) override;
  } m_XIViewManager{this};

  struct XIReconcileToDefData : TNested<CDesign, IReconcileToDefData> {
    using TNested::TNested;
    Status Reconcile() override { return kNotSupported; }
    Status RemoveObsolete(CitI::IInterface*) override { return kNotSupported; }
  } m_XIReconcileToDefData{this};

  struct XICompAdmin : TNested<CDesign, ICompAdmin> {
    using TNested::TNested;
    Status InitializeAfterCreate(CitI::IInterface* project, CitI::IInterface* unused) override;
    Status InitializeAfterLoad(CitI::IInterface* project) override;
    Status RegisterForNotifications() override;
    Status Teardown() override { return This().TearDown(true); }
  } m_XICompAdmin{this};

  struct XIDesignInternal : TNested<CDesign, IDesignInternal> {
    using TNested::TNested;
    Status PartialTeardown() override { return This().TearDown(false); }
    Status DisableViewsChangedEvent() override {
      This().m_viewsChangedEvent = false;
      return kSuccess;
    }
    Status EnableViewsChangedEvent() override {
      This().m_viewsChangedEvent = true;
      return kSuccess;
    }
  } m_XIDesignInternal{this};

  // Set-up.
  void CreateDesignNameProperty();
  void SetUpPlatform();
  Prjrep::AutoRelease<IDataStore> DataStore();

  // Views.
  Prjrep::AutoRelease<IView> CreateInitialView(const String& typeName, String viewName);
  // The view's own iterator over the list, left at `view` (the same object, whichever of its
  // interfaces is given), or done when the list does not hold it.
  Prjrep::AutoRelease<IViewIterator> FindInList(CitI::IInterface* view);
  void TearDownViews();

  // Events.
  static Status HandleEvent(CDesign* self, Prjrep::IEvent* event);
  Status HandleDUCreated(IHdlDesignUnit* unit);
  Status ForwardEvent(Prjrep::IEvent* event);
  Status RebuildViews(CitI::IInterface* changedNames);

  // Full (`full`) or partial teardown.
  Status TearDown(bool full);

  bool m_viewsChangedEvent = true;
  Prjrep::AutoRelease<IDesignPlatform> m_platform;
  // A partial teardown emptied the platform; the next set-up fills it again.
  bool m_platformEmptied = false;
  CStateHelper m_states;
  Prjrep::CEventSenderHelper m_eventSender{&m_XIDesign};
  Prjrep::TRefCountHelper<CDesign> m_refCount{this};
  TPropertyContextHelper<CDesign> m_propertyContext;
  bool m_initialised = false;
  Prjrep::AutoCast<IProject> m_project;  // not counted: the project holds the design
  Prjrep::AutoRelease<ITransformEngine> m_engine;
  Prjrep::AutoRelease<IPropertyManager> m_propertyManager;
  ViewList m_views;
  TDetachingReceiver<CDesign> m_receiver{this, &CDesign::HandleEvent};
  Prjrep::CNameHelper m_name{&m_XIDesign};
  PropertyList m_properties;
};

}  // namespace Hvd
