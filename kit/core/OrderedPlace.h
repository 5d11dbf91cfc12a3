#pragma once
// Where a key goes in an ordered map that is filled mostly in order: right after the entry placed
// last, which two comparisons confirm, else where a search of the whole tree finds it. A large
// project's paths share long beginnings, and every step of a search compares them.

#include <iterator>

namespace Hvd {

// What `map.lower_bound(key)` gives; `last` is an entry of `map`, or its end.
template <class Map, class K>
typename Map::iterator LowerBoundAfter(Map& map, typename Map::iterator last, const K& key) {
  const auto less = map.key_comp();
  if (last != map.end() && less(last->first, key)) {
    const auto next = std::next(last);
    if (next == map.end() || !less(next->first, key)) return next;
  }
  return map.lower_bound(key);
}

}  // namespace Hvd
