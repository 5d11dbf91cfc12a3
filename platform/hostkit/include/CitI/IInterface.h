#pragma once
// The root interface of every component interface, and the factory interface.

#include "Port/XUID.h"

// Declares the id accessor of an interface. The id is a function-local static built
// from its GUID text; a malformed text fails to compile.
#define CITI_DECLARE_IID(text)                   \
  static const ::Port::XUID& GetIID() {          \
    static constexpr ::Port::XUID s_iid{text};   \
    return s_iid;                                \
  }

// Declares the class-id accessor of a component class in the same way.
#define CITI_DECLARE_CLSID(text)                 \
  static const ::Port::XUID& GetCLSID() {        \
    static constexpr ::Port::XUID s_clsid{text}; \
    return s_clsid;                              \
  }

// Defines a free accessor `name()` of a fixed id (a class id, an event id).
#define CITI_DEFINE_ID(name, text)              \
  inline const ::Port::XUID& name() {           \
    static constexpr ::Port::XUID s_id{text};   \
    return s_id;                                \
  }

namespace CitI {

class IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0xc569a98287c54d45ull, 0x8a2c17b796723bdcull};
    return s_iid;
  }

  // The component's implementation of the interface with id `iid`, or null. Adds no reference.
  virtual IInterface* QueryInterface(const Port::XUID& iid) = 0;
  virtual ~IInterface() = default;
};

class IFactory : public IInterface {
 public:
  static const Port::XUID& GetIID() {
    static constexpr Port::XUID s_iid{0xce41bd1486b2417full, 0xa70435c0e5294564ull};
    return s_iid;
  }

  // The root interface of a new object of the factory's class, carrying one reference
  // for the caller; null when `clsid` is not the factory's own class id.
  virtual IInterface* CreateInstance(const Port::XUID& clsid) = 0;
};

}  // namespace CitI
