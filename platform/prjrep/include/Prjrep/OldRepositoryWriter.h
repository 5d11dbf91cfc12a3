#pragma once
// Makes repositories of the older generation, for tools and tests: client areas with their
// project version, object tables built from typed record values, and key sections. Not
// used by the library.

#include <cstdint>
#include <string>

#include "CitI/IInterface.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Port/XUID.h"
#include "Prjrep/IStorage.h"

namespace Prjrep::old {

class __attribute__((visibility("default"))) RepositoryWriter {
 public:
  RepositoryWriter();
  ~RepositoryWriter();
  RepositoryWriter(const RepositoryWriter&) = delete;
  RepositoryWriter& operator=(const RepositoryWriter&) = delete;

  // Records the project version of the "Corvane" area in its "hvd_project_main" stream.
  void SetProjectVersion(std::int32_t version);
  // Appends an entry to the object table of `area` and hands out the stream to write its
  // record into, borrowed: valid until the writer is saved or destroyed.
  IStorage* AddObject(const Port::XUID& instanceId, const Port::XUID& classId, const std::string& area = "Corvane");
  // Makes a client area (which may stay empty) and puts one value into it.
  void AddArea(const std::string& area, bool withContent = true);
  void SetKey(const std::string& section, const std::string& key, const std::string& value);
  // Writes the repository's file; false when it could not.
  bool Save(const std::string& path);

 private:
  IStorage* Area(const std::string& area);
  IStorage* m_root;
  std::int32_t m_entries = 0;
};

// Inspection of a repository's file, for tests: the content count of a client area (-1
// when the file or the area is missing), its object-table entries, and a key's value.
__attribute__((visibility("default"))) std::int64_t CountAreaContents(const std::string& path, const std::string& area);
__attribute__((visibility("default"))) std::int64_t CountObjects(const std::string& path, const std::string& area);
__attribute__((visibility("default"))) std::string ReadKey(const std::string& path, const std::string& section,
                                                           const std::string& key);

}  // namespace Prjrep::old
