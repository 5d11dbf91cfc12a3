#pragma once
// The bounds a document must keep before the parser sees it. Xerces spends time quadratic in
// the nesting depth and in the attributes of one element, and the serializer's indentation and
// the differencer's recursion grow with the depth, so a document past the bounds is refused
// from its bytes, in one pass, before any of them starts.

#include <cstddef>
#include <string>
#include <string_view>

namespace Hvd::Xml {

// Far beyond any project file, which nests a few levels and gives an element a few attributes.
inline constexpr std::size_t kMaxElementDepth = 256;
inline constexpr std::size_t kMaxAttributes = 1000;  // of one element, namespace declarations included

// Empty when `bytes` keep the bounds, else why not. Only encodings whose markup can be read
// from the bytes are accepted: UTF-8 and single-byte ASCII supersets, UTF-16 and UCS-4; a
// document in any other (EBCDIC, UTF-7, ISO-2022, ...) is refused as unreadable here.
std::string CheckBounds(std::string_view bytes);

}  // namespace Hvd::Xml
