#pragma once
// Copying, removing, zipping and creating files and directory trees by path.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/IStringSet.h"
#include "core/Interface.h"
#include "core/RefCount.h"
#include "core/StringSets.h"

class UT_DIR;

namespace Hvd {

class IProject;
class ICPFileMapInternal;
class IProjectBundle;
class MadeFolders;

// The names of the files a directory copy could not copy. Made with new and counted;
// answers Prjrep::IStringSet and Prjrep::IRefCount.
class CFileNameSet final : public TComponent<CFileNameSet> {
 public:
  CFileNameSet();
  ~CFileNameSet() override = default;

  auto QueryTable() {
    return Table(Row<Prjrep::IRefCount>(&m_refCount), Row<Prjrep::IStringSet>(&m_set), Row<CitI::IInterface>(&m_set));
  }

  Prjrep::IStringSet* GetStringSet() noexcept { return &m_set; }

 private:
  using StringSet = Prjrep::TStringSequenceSetHelper<Prjrep::IStringSet, Prjrep::IStringIterator,
                                                     std::vector<Port::StringBase<char>>>;
  StringSet m_set;
  Prjrep::TRefCountHelper<CFileNameSet> m_refCount{this};
};

// Makes sure the directory of a project file path exists and is usable, and rewrites the
// path into it; a bare file name gets a directory of its own named after it. 1 or 0.
Status ValidateOrCreateHLCPathDirectory(Port::StringBase<char>& projectPath);

namespace FileUtils {

// What a copy does to the permissions of each copied file.
enum CopyMode : std::uint32_t { kKeepPermissions = 0, kReadOnly = 1, kReadWrite = 2 };

// Whether both names lead to one existing file: another spelling, a link or a hard link; false
// when either is not there.
bool SameFile(const Port::StringBase<char>& first, const Port::StringBase<char>& second);
// Whether `path` leads to a folder (through links); false when nothing is there.
bool IsFolder(const Port::StringBase<char>& path);
// Copies one file; a destination that is the source under another name is left alone.
// An existing destination is replaced only once the copy is complete. With `made`, the folders
// made on the way to it and the file written are recorded there, and what was at its name kept
// aside, so that a refused command can take back what it wrote (and only that) and put back
// what was there; a step that fails is named in an error with the system's reason. The same for
// the other copies below.
Status CopyFile(const Port::StringBase<char>& source, const Port::StringBase<char>& destination, std::uint32_t mode,
                MadeFolders* made = nullptr);
// Removes the contents of `directory` and, with `removeSelf`, the directory. Links are
// removed, never followed. The code of the last failure, else 1.
Status RemoveDirectoryTree(const Port::StringBase<char>& directory, bool removeSelf);
// Removes a file, link or directory tree; a path that names nothing is a success.
Status RemoveItem(const Port::StringBase<char>& path);
// Removes the regular file `path` (absolute) only when the folder it lies in, with the links of
// every step resolved, is one of `folders` or below one (each resolved the same way). A link at
// `path`, a directory, or a file that lies elsewhere stays, and the answer is 0. The file is
// taken from its folder opened step by step from the matching folder without following a link,
// so a link put in the way meanwhile leads nowhere. 1 when removed or when nothing is there.
Status RemoveFileWithin(const Port::StringBase<char>& path, const std::vector<Port::StringBase<char>>& folders);
// Zips the contents of `directory` into `archive`; a relative archive lands inside it. An
// archive named without an extension is refused, as zip would add ".zip" to the name. Links are
// stored as links, so a link that leads back up the tree is not followed round and round.
Status ZipDirectory(const Port::StringBase<char>& directory, const Port::StringBase<char>& archive);
// Adds `names`, relative to `directory`, to `archive` (absolute, made when missing), reading
// each from where it is: a name that is a directory adds only its own entry. The names go to
// zip one a line through the file `archive` + ".names", removed again, so a name holding a line
// break is refused before zip runs.
Status ZipNames(const Port::StringBase<char>& directory, const std::vector<Port::StringBase<char>>& names,
                const Port::StringBase<char>& archive);
// ZipNames in three steps, so that zip can run beside other work: `Prepare` checks and writes
// the list, `Run` runs zip and touches nothing else, so any thread may call it, and `Finish`
// takes the list away and gives ZipNames' answer, with its messages.
class NamesZipJob {
 public:
  NamesZipJob() = default;
  NamesZipJob(const NamesZipJob&) = delete;
  NamesZipJob& operator=(const NamesZipJob&) = delete;
  ~NamesZipJob();

  Status Prepare(const Port::StringBase<char>& directory, const std::vector<Port::StringBase<char>>& names,
                 const Port::StringBase<char>& archive);
  void Run();
  Status Finish();

 private:
  Status m_prepared = kFailure;
  Port::StringBase<char> m_zip;
  Port::StringBase<char> m_directory;
  Port::StringBase<char> m_archive;
  Port::StringBase<char> m_list;
  int m_count = 0;
  int m_exitCode = -1;
  bool m_listWritten = false;
};
// Joins the zip archives `parts`, as zip writes them, into `archive`: the entries of each in
// their order, after those of the parts before it, each as it was. Parts that are not plain zip
// archives (a comment, more than one disk, the 64-bit forms) or a join that would need those
// forms are refused with nothing written.
Status JoinZips(const std::vector<Port::StringBase<char>>& parts, const Port::StringBase<char>& archive);
// The whole of a regular file of at most `maxBytes`, or false with `why` naming the file and
// the failed step; a larger file is refused unread. The open does not wait: a pipe with no
// writer would otherwise block it for ever.
bool ReadWholeFile(const char* path, std::string& bytes, std::string& why, std::uintmax_t maxBytes);
// Writes `bytes` into a new file at `path`, never one that is there already nor through a link,
// with `mode`. False, with errno, when it could not be written whole.
bool WriteNewFile(const Port::StringBase<char>& path, std::string_view bytes, unsigned mode = 0600);
// The directory temporary directories are made in, as the host names them: TMPDIR, or /tmp.
Port::StringBase<char> TemporaryDirectory();
// Creates a new, uniquely named directory, open to its owner only, marked with a new token (see
// OwnedFolder), and gives its absolute path and the token; `outPath` is empty on failure.
Status CreateTempDirectory(Port::StringBase<char>& outPath, std::string& token);
// Takes away, with all it holds, a directory CreateTempDirectory made, while its mark holds
// `token`: another found at its name stays. The cleanup's failure, with a warning, when anything
// stays.
Status RemoveTempDirectory(const Port::StringBase<char>& path, const std::string& token);
// Copies a tree without following directory links and without entering the destination.
// Skips "_qdb" entries and "snapshots". Links are copied as links, also dangling ones; what is
// neither file, directory nor link (a FIFO, socket or device) is left out with a warning. A link
// in the destination where a directory is copied is replaced by the directory. The files that failed go into `*failedFiles`,
// created on the first failure when `failedFiles` is given. The first failure's code.
Status CopyDirectoryTree(const Port::StringBase<char>& sourceDir, const Port::StringBase<char>& destinationDir,
                         std::uint32_t mode, Prjrep::IStringSet** failedFiles);
// Makes the link at `source` again at `destination`, pointing where it points; a file or link
// at `destination` is replaced.
Status CopyLink(const Port::StringBase<char>& source, const Port::StringBase<char>& destination,
                MadeFolders* made = nullptr);
// Takes away each link among the steps of `path` below `directory`, the last step included, so
// that what is then written at `path` lands inside `directory`, not where a link leads; with
// `made`, the link is set aside there instead (MadeFolders::SetAside), to be put back if the
// command is refused. A path not below `directory` is left alone. 1, or the code of the link
// that could not be removed.
Status RemoveLinksBelow(const Port::StringBase<char>& directory, const Port::StringBase<char>& path,
                        MadeFolders* made = nullptr);
// Frees `path` for what a command recording in `made` writes there: what is there is set aside
// (MadeFolders::SetAside). A failure is named in an error with the system's reason.
Status SetAside(const Port::StringBase<char>& path, MadeFolders& made);
// Whether `path` itself is a FIFO, socket or device: something a copy cannot read as a file.
bool IsSpecialFile(const Port::StringBase<char>& path);
// Copies a file or a directory tree; a FIFO, socket or device is left out with a warning.
Status CopyItem(const Port::StringBase<char>& source, const Port::StringBase<char>& destination, std::uint32_t mode,
                MadeFolders* made = nullptr);
// What a project copy takes along (the flag bits of `flags`), each item under the name
// `fileMap` gives it, handed to `bundle`. `buildMacro` gets the copy's build-macro search
// path; `*remoteSources` whether a source or macro directory lay outside the project. The
// first failure of an item is the answer: a copy is never reported whole when it is not.
Status AddProjectContentsToBundle(IProject* project, std::uint32_t flags, ICPFileMapInternal* fileMap,
                                  IProjectBundle* bundle, Port::StringBase<char>& buildMacro, bool* remoteSources);
// Whether the sources such a copy takes are all there: each one gone is named in an error and
// fails it, as the copy would, but before anything is made or copied.
Status FindGoneSources(IProject* project, std::uint32_t flags, ICPFileMapInternal* fileMap);
// The canonical directory of a design-data object's full path.
Port::StringBase<char> GetObjectDirectory(CitI::IInterface* object);
// The folder a snapshot restore of the project file `projectFile` works in, beside it:
// ".<base>.restore".
Port::StringBase<char> RestoreFolderOf(const Port::StringBase<char>& projectFile);
// The names of the restore folders of the projects whose files (".xhlc" or ".hlc", a link to one
// among them) stand directly in `directory`: no part of any project's content. A name of that
// form beside no such file is someone's own.
std::set<std::string> RestoreFolderNames(const Port::StringBase<char>& directory);
// The same, of `listing`, read of `directory`: what a copy of it leaves out at any depth.
std::set<std::string> RestoreFolderNames(const Port::StringBase<char>& directory, const UT_DIR& listing);

}  // namespace FileUtils
}  // namespace Hvd
