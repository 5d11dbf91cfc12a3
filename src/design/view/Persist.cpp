// The stored form of a view: name, view type, design, binding sets, states, settings and
// files, then what versions 5 and 6 of the storage added. The event wiring is not stored: the
// host sets the view up again after a load.

#include "Hvd/IBaseServices.h"
#include "core/Diagnostics.h"
#include "design/view/CView.h"
#include "utils/DmUtils.h"

namespace Hvd {

namespace {

using Prjrep::AutoCast;
using Prjrep::AutoRelease;
using String = Port::StringBase<char>;

// More settings than any view type defines; a larger count can only come from a damaged stream.
constexpr std::int32_t kMaxStoredSettings = 4096;

// The first result other than 1 is kept; the later steps still run.
class Fold {
 public:
  void operator()(Status status) {
    if (m_result == kSuccess) m_result = status;
  }
  Status Result() const { return m_result; }

 private:
  Status m_result = kSuccess;
};

}  // namespace

// A step that fails does not stop the save: the stream stays in step with what a load reads,
// since each step writes its values (a null reference in place of a missing object).
Status CView::SaveTo(Prjrep::IStorage* storage) {
  CView& self = *this;
  if (storage == nullptr) return Fail(kInvalidParameter, "ERROR: View::PersistSave - Invalid Parameter.\n");
  Fold fold;
  std::int32_t version = 0;
  fold(storage->GetFormatVersion(&version));
  if (!self.m_design) return kOwnerMissing;
  String name = self.m_name.Name();
  fold(storage->WriteString(&name));
  AutoRelease<IDataStore> store = self.DataStore();
  if (store) {
    // The store writes a definition by what names it: the type is handed over as it is.
    if (!self.m_viewType) fold(kMissingInterface);
    fold(store->WriteDefDataRef(storage, self.m_viewType.Get()));
  } else {
    fold(kComponentNotCreated);
  }
  AutoCast<Prjrep::IPersist> design(self.m_design.Get());
  if (!design) fold(kMissingInterface);
  fold(storage->WriteObjectRef(design));
  fold(self.m_transformBindings.PersistSave(storage));
  fold(self.m_states.Save(storage));
  // The attached component stores nothing and answers "not supported" for every object; it
  // takes no part in the result, or no view could ever be saved.
  fold(storage->WriteLong(static_cast<std::int32_t>(self.m_properties.GetCount())));
  for (auto pos = self.m_properties.begin(); pos != self.m_properties.end(); ++pos) {
    AutoCast<Prjrep::IPersist> instance(pos->second);
    if (!instance) fold(kMissingInterface);
    fold(storage->WriteObjectRef(instance));
  }
  fold(self.m_XIDesignUnitSet.PersistSave(storage));
  if (version >= 5) {
    fold(storage->WriteInt64(0));
    fold(storage->WriteInt64(0));
  }
  if (version >= 6) {
    const String empty;
    fold(storage->WriteString(&empty));
  }
  if (fold.Result() != kSuccess) return Fail(fold.Result(), "ERROR: View::PersistSave Failed.\n");
  return kSuccess;
}

// The load stops at the first failed read: whatever follows in a damaged stream is not the
// view's, and a count read from it must not drive thousands of failing reads. A value read
// well that does not fit (no view type, no design) is reported at the end, as the stream is
// still in step. What was read so far stays in the view.
Status CView::LoadFrom(Prjrep::IStorage* storage) {
  CView& self = *this;
  if (storage == nullptr) return Fail(kInvalidParameter, "ERROR: View::PersistLoad - Invalid Parameter.\n");
  const auto failed = [](Status status) { return Fail(status, "ERROR: View::PersistLoad Failed.\n"); };
  Fold fold;
  std::int32_t version = 0;
  if (Status status = storage->GetFormatVersion(&version); status != kSuccess) return failed(status);

  String name;
  if (Status status = storage->ReadString(&name); status != kSuccess) return failed(status);
  std::ignore = self.m_name.SetName(name);

  AutoRelease<IDataStore> store = self.DataStore();
  if (!store) return failed(kComponentNotCreated);
  AutoRelease<CitI::IInterface> type;
  if (Status status = store->ReadDefDataRef(storage, type.Receive()); status != kSuccess) return failed(status);
  self.m_viewType = AutoCast<IViewType>(type.Get()).Get();
  if (!self.m_viewType) fold(kMissingInterface);

  AutoRelease<Prjrep::IPersist> design;
  if (Status status = storage->ReadObjectRef(design.Receive()); status != kSuccess) return failed(status);
  self.m_design = AutoCast<IDesign>(design.Get());
  if (!self.m_design) fold(kMissingInterface);

  if (Status status = self.m_transformBindings.PersistLoad(storage); status != kSuccess) return failed(status);
  if (Status status = self.m_states.Load(storage); status != kSuccess) return failed(status);

  std::int32_t count = 0;
  if (Status status = storage->ReadLong(&count); status != kSuccess) return failed(status);
  if (count < 0 || count > kMaxStoredSettings) return failed(kFailure);
  for (std::int32_t i = 0; i < count; ++i) {
    AutoRelease<Prjrep::IPersist> object;
    if (Status status = storage->ReadObjectRef(object.Receive()); status != kSuccess) return failed(status);
    AutoCast<IPropertyInstance> instance(object.Get());
    if (!instance) continue;
    AutoRelease<IPropertyTemplate> definition;
    std::ignore = instance->GetTemplate(definition.Receive());
    String key = self.GetViewPropertyKeyForTemplate(definition.Get());
    if (key.empty()) key = GetDefDataIdName(definition.Get());
    if (key.empty()) continue;
    AutoRelease<IPropertyInstance> replaced = self.m_properties.GetProperty(key);
    const Status stored = self.m_properties.SetProperty(key, instance);
    fold(stored);
    if (stored != kSuccess) continue;
    if (replaced && replaced.Get() != instance.Get()) std::ignore = self.UnRegisterForNotifications(replaced.Get());
    std::ignore = self.RegisterForNotifications(instance.Get());
  }

  if (Status status = self.m_XIDesignUnitSet.PersistLoad(storage); status != kSuccess) return failed(status);
  if (version >= 5) {
    for (int i = 0; i < 2; ++i) {
      std::int64_t unused = 0;
      if (Status status = storage->ReadInt64(&unused); status != kSuccess) return failed(status);
    }
  }
  if (version >= 6) {
    String unused;
    if (Status status = storage->ReadString(&unused); status != kSuccess) return failed(status);
  }
  return fold.Result() == kSuccess ? kSuccess : failed(fold.Result());
}

}  // namespace Hvd
