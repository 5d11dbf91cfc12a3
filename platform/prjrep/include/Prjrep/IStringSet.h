#pragma once
// Sets of strings.

#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Prjrep {

class IStringIterator : public TIIterator<Port::StringBase<char>> {
 public:
  CITI_DECLARE_IID("{A81851DC-DE3C-46de-8014-99C978F2AFF2}")
};

class IStringSet : public TISet<Port::StringBase<char>, IStringIterator> {
 public:
  CITI_DECLARE_IID("{BF0F6662-0DDA-4b8d-9515-B42E7A1D2CD7}")
};

}  // namespace Prjrep
