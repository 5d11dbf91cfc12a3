// Writes a project of the older repository for the script tests, which cannot make one:
//   old_project_writer PATH.hlc ?-f FILE LIBRARY ORIGINATION BITS? ... ?-p NAME VALUE? ...
// ORIGINATION is the old code (0 user, 1 generated, 2 imported), BITS the view-association mask.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/OldProject.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH.hlc ?-f FILE LIBRARY ORIGINATION BITS? ?-p NAME VALUE?\n", argv[0]);
    return 2;
  }
  std::vector<oldproject::File> files;
  std::vector<std::pair<std::string, std::string>> properties;
  for (int i = 2; i < argc;) {
    const std::string option = argv[i];
    if (option == "-f" && i + 4 < argc) {
      files.push_back({argv[i + 1], argv[i + 2], static_cast<std::uint32_t>(std::strtoul(argv[i + 3], nullptr, 10)),
                       static_cast<std::int32_t>(std::strtol(argv[i + 4], nullptr, 0))});
      i += 5;
    } else if (option == "-p" && i + 2 < argc) {
      properties.emplace_back(argv[i + 1], argv[i + 2]);
      i += 3;
    } else {
      std::fprintf(stderr, "bad argument: %s\n", argv[i]);
      return 2;
    }
  }
  return oldproject::WriteProject(argv[1], files, properties) ? 0 : 1;
}
