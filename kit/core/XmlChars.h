#pragma once
// What the project's files can hold. XML 1.0 has no way at all, not even a character reference,
// to carry a C0 control other than tab, line feed and carriage return, nor U+FFFE or U+FFFF: one
// of them in a saved value leaves a file that no later open can read. So every value bound for
// those files is refused where it enters, by this one test, before anything changes.

#include <cstddef>
#include <string>
#include <string_view>

namespace Hvd {

// The offset of the first character of `text` that XML 1.0 cannot carry, or npos. Bytes that are
// not UTF-8 are not such characters: the writers put U+FFFD in their place.
std::size_t FindXmlUnfit(std::string_view text) noexcept;

// The offset of the first byte of `text` that is not part of a UTF-8 character, or npos. The
// writers put U+FFFD in its place, so a name holding one comes back as another name.
std::size_t FindNonUtf8(std::string_view text) noexcept;
// The byte at `at` as a message names it: "the byte \xe9, which is not UTF-8".
std::string NonUtf8Name(std::string_view text, std::size_t at);

// The character at `at` as a message names it: "the control character \x1b", "the character
// U+FFFE".
std::string XmlUnfitName(std::string_view text, std::size_t at);

// True when the project's files can hold `value`; else its refusal is issued as an error of
// `category` and false: `what` ("The library name"), the value with its controls escaped, the
// character it holds and why, as one line.
bool XmlFits(const char* category, std::string_view what, std::string_view value);

// True when `value` is UTF-8; else its refusal is issued as XmlFits issues one, naming the first
// byte that is not. A name that is also a folder's or a file's name, written in a project file
// as U+FFFD, would come back as another name than the one on the disk.
bool Utf8Fits(const char* category, std::string_view what, std::string_view value);

// True when `value` holds no NUL; else its refusal is issued as XmlFits issues one. A path, or a
// value the system reads as one, ends at a NUL: taken on, it would name something else unseen.
bool NulFree(const char* category, std::string_view what, std::string_view value);

}  // namespace Hvd
