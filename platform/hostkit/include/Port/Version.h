#pragma once
// The software's version values by key ("version" is "<major>.<minor>"); a test may set one.

#include "Port/StringBase.h"

namespace Port {

class Version {
 public:
  // Empty for an unknown key.
  static StringBase<char> getValue(const char* key);
  static void setValue(const char* key, const StringBase<char>& value);
};

}  // namespace Port
