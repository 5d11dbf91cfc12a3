#pragma once
// The folders one command makes on the way to a path, so that the command, refused, takes back
// exactly those: each folder it made in this call that is still the folder it made and holds
// nothing. A folder that was there before, or that holds anything now, is never touched.

#include <sys/types.h>

#include <string>
#include <vector>

namespace Hvd {

class MadeFolders {
 public:
  MadeFolders() = default;
  MadeFolders(const MadeFolders&) = delete;
  MadeFolders& operator=(const MadeFolders&) = delete;
  // Keeps what it made: taking back is asked for.
  ~MadeFolders() = default;

  // Makes `path` and the folders missing on the way to it, with `mode`, recording each one made
  // here. True when `path` is a folder afterwards; errno tells why not.
  bool Make(const std::string& path, unsigned mode = 0777);

  // Takes back the folders recorded, the deepest first, each only while it is still the folder
  // made (not a link, the same device and inode) and holds nothing. One that holds something
  // stays, and so do those above it; one gone already is passed over. A folder that should go
  // and could not is named in a warning with the system's reason. False when one stayed so.
  bool TakeBack();

  // The folders recorded are the command's result now, kept.
  void Keep() noexcept { m_made.clear(); }

 private:
  struct Made {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
  };
  std::vector<Made> m_made;  // outermost first
};

}  // namespace Hvd
