#pragma once
// The part of a snapshot restore that touches the live project: it is either restored from the
// snapshot and open again, or left as it was, also when the process is killed on the way.
//
// The snapshot's copies are first staged in a folder of the restore's own beside the project's
// files, <project dir>/.<base>.restore/new. Once they are all there, a journal listing the
// entries to replace, each with the identity of its staged copy (device, inode, and for a file
// its size and time), is written in that folder; each live entry then moves to .../old (an
// entry the project lacks is marked in .../added instead) and the staged one takes its place,
// by renames within the project directory. The project's partitions file, when the snapshot
// has none, only moves to .../old, so that the old project is not left with today's
// partitions. A link in the live project is replaced as a link, never written through.
// The folder proves itself the restore's by a token in its mark and a record of that mark's own
// identity (see OwnedFolder::MarkSealed), written right after its mkdir, and read whatever device
// number its disk comes back under; a folder at the name that does not is read, followed and
// removed in no way: it stays, named in a warning, or, holding a journal, in an error that says
// where the project's replaced files are and how to put them back by hand.
// Finished, the journal goes first and the folder after it. A folder found without its journal
// is a restore that never began to replace anything and is removed; one with its journal is
// put back, entry by entry, to the live state it recorded: only an entry with its old copy or
// its mark, and that is the staged copy by its identity, is taken out; anything else found in
// its place was put there since, and is moved beside it under a new name and named in a
// warning. A journal that is larger than any restore writes, names a path that does not lie
// plainly below the project's folder, leaves out something that old/ or added/ holds, or does
// not match what is on disk is kept with its folder and nothing is moved. The next open of the
// project or the next snapshot operation does that, unless the restore that made the folder is
// still running.

#include "Hvd/IProjectCopy.h"
#include "Hvd/IProjectHelper.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"

namespace Hvd::Snapshots {

// Stages the items of `bundle` (opened on the snapshot), closes the live project through
// `helper`, puts the staged items in place and opens the project file again, with the
// description the project had before, saved while the restore can still be undone. A failed staging
// stops before the project is closed; any later failure puts the live entries back and opens
// the project again. The files that could not be staged go to `*items` when given.
Status RestoreOver(IProjectBundle* bundle, IProjectHelper* helper, const Port::StringBase<char>& projectDirectory,
                   const Port::StringBase<char>& projectFile, Prjrep::IStringIterator** items);

// Undoes what a killed restore of that project file left: kSuccess when nothing of it is left,
// kOwnerMissing when the restore is still running in a process, kFailure (with an error to the
// user, the project and the folder left as they are) when its journal cannot be read or does
// not match the project's files, kDirectoryWriteFailed when its folder could not be put back
// or removed.
Status FinishInterruptedRestore(const Port::StringBase<char>& projectFile);

}  // namespace Hvd::Snapshots
