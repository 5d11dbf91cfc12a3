#pragma once
// The root of a storage tree embedded in another component.

#include "Prjrep/Storage.h"

namespace Prjrep::storage {

class CStorage;

// A root storage living inside `outer`: it answers queries with the outer component's
// answers and is counted by it; it dies with its owner.
class EmbeddedRoot {
 public:
  explicit EmbeddedRoot(CitI::IInterface* outer);
  ~EmbeddedRoot();
  EmbeddedRoot(const EmbeddedRoot&) = delete;
  EmbeddedRoot& operator=(const EmbeddedRoot&) = delete;

  IStorage* Storage() const;
  IStorageControl* Control() const;
  // Drops the values, child storages and items.
  void Clear();

 private:
  CStorage* m_node;
};

}  // namespace Prjrep::storage
