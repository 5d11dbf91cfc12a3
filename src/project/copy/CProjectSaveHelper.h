#pragma once
// A project's copies: save as, copy to another place with the files it needs, and the zip
// archive. Every project carries one; it keeps nothing between calls but its project.

#include <cstdint>
#include <functional>
#include <vector>

#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"

namespace Hvd {

class CProjectSaveHelper final : public IProjectSaveAsArchive3 {
 public:
  using String = Port::StringBase<char>;
  // Called once the copy's contents are in place, just before the project file and the generated
  // file are written at the names it is given.
  using BeforeWrite = std::function<void(const std::vector<String>& written)>;

  // `project` is borrowed: the helper lives inside it, or on the stack of a copy of it.
  explicit CProjectSaveHelper(IProject* project) noexcept : m_project(project) {}
  CProjectSaveHelper(const CProjectSaveHelper&) = delete;
  CProjectSaveHelper& operator=(const CProjectSaveHelper&) = delete;
  ~CProjectSaveHelper() override = default;

  // The helper answers for its project.
  CitI::IInterface* QueryInterface(const Port::XUID& iid) override {
    return m_project != nullptr ? m_project->QueryInterface(iid) : nullptr;
  }

  Status SaveAs(const String& targetPath) override;
  Status SaveAsArchive(const String& archivePath, String* remoteSourcesName) override;
  Status CopyProject(const String& targetPath, std::uint32_t options, const String& workingDirectory,
                     const String& description, String* remoteSourcesName) override;
  Status CopyProjectTo(const String& projectFileName, const String& destinationDirectory,
                       const String& workingDirectory, const String& description, bool copyContents,
                       bool writeGenerated) override;
  Status Archive(const String& archivePath, std::uint32_t options, String* remoteSourcesName) override;

 private:
  // CopyProject, gathering into `bundle` when one is given (borrowed), else into a directory bundle.
  Status CopyInto(const String& targetPath, std::uint32_t options, const String& workingDirectory,
                  const String& description, String* remoteSourcesName, IProjectBundle* bundle,
                  const BeforeWrite& beforeWrite = {});

  IProject* m_project;
};

}  // namespace Hvd
