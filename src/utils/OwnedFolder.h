#pragma once
// Folders the library makes for its own work (a take's snapshot folder, an archive's scratch)
// and later may take away, after a kill among them. Device and inode prove nothing there: a
// folder made by someone else at a freed name gets the freed inode at once. What proves one
// is a random token the library wrote into a mark inside the folder right after making it,
// and keeps, besides, in a record of its own outside the folder.

#include <string>

namespace Hvd::OwnedFolder {

// 32 hexadecimal digits of the system's randomness; empty when it gives none.
std::string NewToken();

// Writes `token` into the mark `name`, made anew in `folder`. False when it cannot be made or
// written whole.
bool Mark(const std::string& folder, const char* name, const std::string& token);

// Whether `folder` is a folder of its own (not a link), whose mark `name` is a regular file of
// one name holding `token`.
bool Proves(const std::string& folder, const char* name, const std::string& token);

// Whether `folder` is a folder of its own that holds nothing, or only an empty mark `name`
// (one whose writing a kill cut short): nothing there can be lost.
bool HoldsNothing(const std::string& folder, const char* name);

// Takes away what `folder` holds, links as links, its mark `name` last and then the folder:
// killed on the way, what is left still proves itself. False when anything stays.
bool RemoveMarkLast(const std::string& folder, const char* name);

}  // namespace Hvd::OwnedFolder
