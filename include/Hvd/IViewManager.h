#pragma once
// The views of a design, as the design lists, creates, removes and finds them.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IDefData.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class IViewIterator : public Prjrep::TIIterator<IView*> {
 public:
  CITI_DECLARE_IID("{1362B6DE-02C2-450c-A0AC-815271E19031}")
};

// Views in the order they were added, such as the views that hold a file.
class IViewSet : public Prjrep::TISet<IView*, IViewIterator> {
 public:
  CITI_DECLARE_IID("{0E00E7EA-13A0-41b2-9201-3CD51B5B8CAE}")
};

// Answered by the design.
class IViewManager : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{E24197FB-1178-4ad9-9206-3C429D3DEBFD}")

  // A new iterator over the views in creation order, with one reference.
  virtual Hvd::Status GetViews(IViewIterator** views) = 0;
  // A new view of `type` named `name`, set up with the design and the type and listed last;
  // `view` (may be null) receives it with one reference.
  virtual Hvd::Status CreateView(const Port::StringBase<char>& name, IViewType* type, IView** view) = 0;
  // Tears down the view under the iterator and takes it out of the list.
  virtual Hvd::Status RemoveViewAt(IViewIterator* at) = 0;
  virtual Hvd::Status RemoveView(IView* view) = 0;
  // An iterator left at the first view that fits the hint (such as "SynthesisOnly").
  virtual Hvd::Status FindViewByHint(const Port::StringBase<char>& hint, IViewIterator** at) = 0;
  // An iterator left at the view.
  virtual Hvd::Status FindView(IView* view, IViewIterator** at) = 0;
};

// The older id of the view manager; the design answers both with one object.
class IViewManagerV1 : public IViewManager {
 public:
  CITI_DECLARE_IID("{1184AD64-D087-42eb-9073-BA7347E1B2B2}")
};

// What the partial-reconfiguration project tells of the views of its network; only the hint
// is asked for here.
class IViewNetworkHelp : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{25a9e219-6655-4851-af5a-a3069d2a111f}")

  virtual Hvd::Status ReservedOperation2() = 0;
  virtual Hvd::Status ReservedOperation3() = 0;
  virtual Hvd::Status ReservedOperation4() = 0;
  // The role word (such as "PostMapSim") of `view`.
  virtual Hvd::Status GetViewHint(IView* view, Port::StringBase<char>* hint) = 0;
};

}  // namespace Hvd
