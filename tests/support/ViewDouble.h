#pragma once
// What view doubles and view-type doubles do not need of their interfaces: every such operation
// clears its outputs and answers "not supported", so that a double writes only what it stands in
// for.

#include <cstdint>

#include "Hvd/IDefData.h"
#include "Hvd/IView.h"
#include "Hvd/Status.h"
#include "core/Interface.h"

namespace testing_support {

// A view double derives from this instead of TComponent<Derived, IView> and writes GetType,
// GetDesign and GetElaborationData itself.
template <class Derived>
struct TViewDouble : Hvd::TComponent<Derived, Hvd::IView> {
  using Text = Port::StringBase<char>;
  static constexpr Hvd::Status kNo = Hvd::kNotSupported;

  Hvd::Status AcceptsDesignUnit(CitI::IInterface*, bool* accepts) override { return Clear(accepts, false); }
  Hvd::Status GetFirstBindingSet(Hvd::ITransformBindingInstanceSet** set) override { return Clear(set, nullptr); }
  Hvd::Status GetSecondBindingSet(Hvd::ITransformBindingInstanceSet** set) override { return Clear(set, nullptr); }
  Hvd::Status GetParserConfig(Hvd::IHdlParserConfig** config) override { return Clear(config, nullptr); }
  Hvd::Status GetTopName(Text*) override { return kNo; }
  Hvd::Status GetTopInstance(Text*) override { return kNo; }
  Hvd::Status SetTopInstance(const Text&) override { return kNo; }
  Hvd::Status GetCompileOrder(Hvd::IHdlDesignUnit*, std::uint32_t, Hvd::IHdlFileIterator** files) override {
    return Clear(files, nullptr);
  }
  Hvd::Status IsTopManual(std::uint32_t* manual) override { return Clear(manual, 0u); }
  Hvd::Status FindBestTopNode(Hvd::IHdlNetListNode** node) override { return Clear(node, nullptr); }

 private:
  template <class T, class V>
  static Hvd::Status Clear(T* out, V value) {
    if (out != nullptr) *out = value;
    return kNo;
  }
};

// The view-type face of a definition double that lists no design-unit types and no templates.
template <class Owner>
struct TViewTypeDouble : Hvd::TNested<Owner, Hvd::IViewType> {
  using Hvd::TNested<Owner, Hvd::IViewType>::TNested;
  Hvd::Status GetDesignUnitTypeIds(Hvd::IDefDataIdIterator** ids) override {
    if (ids != nullptr) *ids = nullptr;
    return Hvd::kNotSupported;
  }
  Hvd::Status GetPropertyTemplates(std::int32_t, Hvd::IDefDataIdIterator** templates) override {
    if (templates != nullptr) *templates = nullptr;
    return Hvd::kNotSupported;
  }
  Hvd::Status GetPropertyTemplate(const Port::StringBase<char>&, Hvd::IPropertyTemplate** definition) override {
    if (definition != nullptr) *definition = nullptr;
    return Hvd::kNotSupported;
  }
};

}  // namespace testing_support
