#pragma once
// Reads the generated-project file (.ghlc) back into an open project: the generated and imported
// files with their origination and flow branches, then the recorded state of the transforms.

#include <cstdint>
#include <map>
#include <xercesc/dom/DOMElement.hpp>

#include "Hvd/IFile.h"
#include "Hvd/ITransformInstance.h"
#include "Port/StringBase.h"
#include "core/Holders.h"
#include "projectfiles/CXMLReader.h"

namespace Hvd {

class CGenProjectReader : public CXMLReader {
 public:
  // `project` is borrowed: the reader lives only while the project reads.
  explicit CGenProjectReader(IProject* project);
  ~CGenProjectReader() override;

  // Every "file" of every "files" element.
  void ReadFiles() override;
  // The branch, the element's sub-branch and its nested branches.
  void ReadBranch(const String& branch, CitI::IInterface* file, xercesc::DOMElement* element) override;
  // One generated file; true when the project added it. The text is not read.
  virtual bool HandleGenFile(const String& text, xercesc::DOMElement* element);

  // The recorded state of every transform instance, inside one batch delay of the project.
  void ReadTransforms();
  void ReadOrigination(IFile* file, xercesc::DOMElement* element, std::uint32_t defaultState);

 private:
  void ReadTransformState(xercesc::DOMElement* element);
  void ReadTransformStatus(xercesc::DOMElement* element);
  void ReadOutFiles(xercesc::DOMElement* element, ITransformInstance* instance);
  Prjrep::AutoRelease<ITransformInstance> FindInstance(xercesc::DOMElement* element);
  void MarkBranch(const String& branch, CitI::IInterface* file);

  // The files added, by the absolute path they were added under; borrowed from the project,
  // null for a file the project refused.
  std::map<String, IFile*> m_fileMap;
};

// The design's reading of the transform status alone, from the file at `path`.
Status ReadGeneratedTransformStatus(IProject* project, const Port::StringBase<char>& path);

}  // namespace Hvd
