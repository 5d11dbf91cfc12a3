// Loads the installed component library the way the host does, creates a project by class id
// and asks it for its project interface; prints one line and answers 0 when all of that worked.

#include <cstdio>
#include <tuple>

#include "CitP/Factory.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IProject.h"
#include "Prjrep/IRefCount.h"

int main() {
  if (!CitP::Factory::LoadLibraryFactory("libHvd_DesignData")) {
    std::puts("the component library did not load");
    return 1;
  }
  CitI::IInterface* made = CitP::Factory::CreateInstance(Hvd::ClassId::Project());
  const bool answers = made != nullptr && made->QueryInterface(Hvd::IProject::GetIID()) != nullptr;
  if (made != nullptr) {
    if (auto* count = static_cast<Prjrep::IRefCount*>(made->QueryInterface(Prjrep::IRefCount::GetIID())))
      std::ignore = count->Release();
  }
  CitP::Factory::Shutdown();
  std::puts(answers ? "created a project by class id" : "no project");
  return answers ? 0 : 2;
}
