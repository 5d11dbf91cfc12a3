#pragma once
// Folders the library makes for its own work (a take's snapshot folder, an archive's scratch, a
// restore's folder, a temporary folder) and later may take away, after a kill among them.
// Device and inode prove nothing there: a folder made by someone else at a freed name gets the
// freed inode at once, and many file systems keep no birth time. What proves one is a random
// token the library wrote into a mark inside the folder right after making it, and keeps,
// besides, in a record of its own: outside the folder (a claim, a list of the folders made, or
// memory), or inside it, sealed with the mark's own identity, which no copy of the folder has.
// Nothing in such a folder is taken away before it proves itself so, or holds nothing.

#include <cstdint>
#include <string>
#include <string_view>

namespace Hvd::OwnedFolder {

// 32 hexadecimal digits of the system's randomness; empty when it gives none.
std::string NewToken();

// Whether `text` is a token in the one form NewToken gives it: 32 lowercase hexadecimal digits.
// Nothing else proves a folder, so a claim and a mark that both hold "a" prove nothing.
bool IsToken(std::string_view text);

// Makes `folder` anew, never one that is there, with `mode`, and marks it right after with a new
// token in `name`: the token, or empty, with errno telling why, when the folder could not be made
// or marked (one made but not marked is taken away again).
std::string Make(const std::string& folder, const char* name, unsigned mode = 0700);

// Writes `token` into the mark `name`, made anew in `folder`. False when `token` is no token, or
// the mark cannot be made or written whole.
bool Mark(const std::string& folder, const char* name, const std::string& token);

// Whether `folder` is a folder of its own (not a link), whose mark `name` is a regular file of
// one name holding `token`, which is a token.
bool Proves(const std::string& folder, const char* name, const std::string& token);

// A folder that keeps its own record: marks it with a new token in `name`, then writes into the
// record `record` that token and the mark's identity (its device, inode and change time, and
// its birth time where the file system keeps one). The mark is never written again, so its
// change time is that of its writing, which nothing sets back: a copy of the folder, mark and
// record among what it holds, has another, whatever inode it gets. False when either cannot be
// written whole.
bool MarkSealed(const std::string& folder, const char* name, const char* record);

// The device number a sealed folder's record holds, and the one its mark is on now: they differ
// once its disk is mounted again under another number, nothing in it touched.
struct SealedDevices {
  std::uint64_t recorded = 0;
  std::uint64_t now = 0;
};

// Whether `folder` proves itself so: its mark holds the token its record holds, and is still
// the file the record names, by its inode and change time. Birth time, where both sides have
// one, is compared as well; the proof does not rest on it. The device number is not: it is the
// mount's, not the disk's, and `devices`, when given, gets both for other identities taken on
// that disk.
bool ProvesSealed(const std::string& folder, const char* name, const char* record,
                  SealedDevices* devices = nullptr);

// Whether `folder` is a folder of its own that holds nothing but its mark `name`, empty (its
// writing cut short) or holding a token, and, when given, an empty record `record`: what a kill
// leaves while such a folder is made or taken away. Nothing there can be lost.
bool HoldsNothing(const std::string& folder, const char* name, const char* record = nullptr);

// Takes away what `folder` holds, links as links, then its record `record` (when given), its
// mark `name` and the folder: killed on the way, what is left still proves itself, or holds
// nothing. False when anything stays.
bool RemoveMarkLast(const std::string& folder, const char* name, const char* record = nullptr);

// Takes `folder` away, as RemoveMarkLast does, only when its mark holds `token` or it holds
// nothing. False, with the folder left as it is, otherwise or when anything stays.
bool Remove(const std::string& folder, const char* name, const std::string& token);

}  // namespace Hvd::OwnedFolder
