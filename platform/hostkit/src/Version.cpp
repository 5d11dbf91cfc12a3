#include "Port/Version.h"

#include <map>
#include <mutex>
#include <string>

namespace Port {

namespace {

struct Values {
  std::mutex lock;
  std::map<std::string, StringBase<char>> byKey{{"version", StringBase<char>("14.1")}};
};

Values& TheValues() {
  static Values* values = new Values;  // never destroyed: read until the process ends
  return *values;
}

}  // namespace

StringBase<char> Version::getValue(const char* key) {
  Values& values = TheValues();
  std::lock_guard<std::mutex> guard(values.lock);
  auto found = values.byKey.find(key != nullptr ? key : "");
  return found != values.byKey.end() ? found->second : StringBase<char>();
}

void Version::setValue(const char* key, const StringBase<char>& value) {
  Values& values = TheValues();
  std::lock_guard<std::mutex> guard(values.lock);
  values.byKey[key != nullptr ? key : ""] = value;
}

}  // namespace Port
