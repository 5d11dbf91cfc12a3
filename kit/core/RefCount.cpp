#include "core/RefCount.h"

namespace Prjrep {
namespace {

// True when the object had a count to change.
template <class Op>
bool CountThroughRoot(CitI::IInterface* object, Op op) {
  if (object == nullptr) return false;
  if (CitI::IInterface* root = object->QueryInterface(CitI::IInterface::GetIID())) {
    if (auto* count = static_cast<IRefCount*>(root->QueryInterface(IRefCount::GetIID()))) {
      op(count);
      return true;
    }
  }
  if (CitI::IInterface* root = object->QueryInterface(CitI::IInterface::GetIID())) {
    if (auto* count = static_cast<CommonI::IRefCount*>(root->QueryInterface(CommonI::IRefCount::GetIID()))) {
      op(count);
      return true;
    }
  }
  return false;
}

template <class Op>
void CountDirect(CitI::IInterface* object, Op op) {
  if (object == nullptr) return;
  if (auto* count = static_cast<IRefCount*>(object->QueryInterface(IRefCount::GetIID()))) {
    op(count);
  } else if (auto* common = static_cast<CommonI::IRefCount*>(object->QueryInterface(CommonI::IRefCount::GetIID()))) {
    op(common);
  }
}

const auto kAddRef = [](auto* count) { std::ignore = count->AddRef(); };
const auto kRelease = [](auto* count) { std::ignore = count->Release(); };

}  // namespace

void ReleaseInterface(CitI::IInterface* object) { CountThroughRoot(object, kRelease); }
void AddRefInterface(CitI::IInterface* object) { CountThroughRoot(object, kAddRef); }
void AddRefObject(CitI::IInterface* object) { CountDirect(object, kAddRef); }
bool AddRefIfCounted(CitI::IInterface* object) { return CountThroughRoot(object, kAddRef); }
void ReleaseObject(CitI::IInterface* object) { CountDirect(object, kRelease); }

}  // namespace Prjrep
