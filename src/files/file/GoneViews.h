#pragma once
// The views a source off the disk was in when it went. It keeps them until it is back: what is
// saved meanwhile records them, and it goes back into them.

#include <vector>

#include "CitI/IInterface.h"
#include "Port/StringBase.h"

namespace Hvd {

// A view as a file's placement tells views apart: its BRANCH and SUBBRANCH.
struct ViewBranchWords {
  Port::StringBase<char> branch;
  Port::StringBase<char> subBranch;
};

// The views `file` was in when its check on disk found it gone; null while it is on disk, while
// it has been in no view since its first check found it gone, and for an object that is no file
// of this library.
const std::vector<ViewBranchWords>* ViewsWhenGone(CitI::IInterface* file);

// Whether the file's last check on disk found it missing (its check time is 0 then).
bool IsOffTheDisk(CitI::IInterface* file);

// A file the user added that a source includes is recorded with its includer's type and among
// the files the views manage. Off the disk, no source is seen to include it: until it is back, it
// keeps that entry, so that a save writes it as it was read. Kept for a file off the disk only,
// with a type name that is not empty; ignored for an object that is no file of this library.
void KeepIncludedEntryWhileGone(CitI::IInterface* file, const Port::StringBase<char>& typeName);

// The type such a file keeps while off the disk; null for any other file.
const Port::StringBase<char>* IncludedTypeWhileGone(CitI::IInterface* file);

}  // namespace Hvd
