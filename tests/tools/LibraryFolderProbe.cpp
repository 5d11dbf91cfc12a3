// Changes to the folder it is given, then prints what the host library finds from its own
// folder, one line each: the migration script's data file, and 1 when a sibling component
// library loads by name. The host kit's tests run it with the host library found through a
// relative LD_LIBRARY_PATH.
//   library_folder_probe FOLDER

#include <unistd.h>

#include <cstdio>

#include "CitP/Factory.h"
#include "Port/Process.h"

int main(int argc, char** argv) {
  if (argc != 2 || ::chdir(argv[1]) != 0) return 2;
  std::printf("%s\n", Port_Env::GetDataFileName("corvane/scripts/hvd_migrateTasks.tcl", true).c_str());
  std::printf("%d\n", CitP::Factory::LoadLibraryFactory("libHvd_Cvf") ? 1 : 0);
  CitP::Factory::Shutdown();
  return 0;
}
