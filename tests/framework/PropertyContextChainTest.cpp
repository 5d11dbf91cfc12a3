// The property contexts of a real project, its design and its views: the parent chain up to
// the project, each parent's reference, the class and instance ids, and the refusals.

#include <string>
#include <vector>

#include "Hvd/IDesign.h"
#include "Hvd/IPropertyContext.h"
#include "Hvd/IViewManager.h"
#include "Prjrep/IRefCount.h"
#include "childproject/ChildSupport.h"

namespace {

using namespace child_testing;
using Hvd::IPropertyContext;

std::int32_t CountOf(CitI::IInterface* object) { return AutoCast<Prjrep::IRefCount>(object)->GetRefCount(); }

bool Said(const std::string& text) {
  for (const auto& record : Port_MsgManData::Captured())
    if (record.text == text) return true;
  return false;
}

class PropertyContextChainTest : public ChildProjectTest {};

TEST_F(PropertyContextChainTest, ViewsLeadToTheirDesignAndTheDesignToTheRootProject) {
  Hvd::IProject* project = Open("p/p.xhlc");
  AutoPtr<Hvd::IDesign> design;
  {
    Hvd::IDesign* borrowed = nullptr;  // the project keeps the design
    ASSERT_EQ(project->GetDesign(&borrowed), kSuccess);
    design = borrowed;
  }
  AutoCast<IPropertyContext> projectContext(project), designContext(design.Get());
  ASSERT_TRUE(projectContext && designContext);

  // Each parent comes with a reference of its own, given back by the receiver.
  const auto parentOf = [](IPropertyContext* context, CitI::IInterface* expected) {
    const std::int32_t before = CountOf(expected);
    IPropertyContext* parent = nullptr;
    EXPECT_EQ(context->GetContextParent(&parent), kSuccess);
    EXPECT_EQ(Identity(parent), Identity(expected));
    if (parent == nullptr) return;
    EXPECT_EQ(CountOf(expected), before + 1);
    std::ignore = AutoCast<Prjrep::IRefCount>(parent)->Release();
  };
  parentOf(designContext, project);
  IPropertyContext* parent = designContext;  // not null: the root writes null over it
  EXPECT_EQ(projectContext->GetContextParent(&parent), kSuccess);
  EXPECT_EQ(parent, nullptr);

  AutoRelease<Hvd::IViewIterator> views;
  ASSERT_EQ(AutoCast<Hvd::IViewManager>(design.Get())->GetViews(views.Receive()), kSuccess);
  int count = 0;
  for (; !views->IsDone(); std::ignore = views->Next(), ++count) {
    AutoCast<IPropertyContext> viewContext(views->Current());
    ASSERT_TRUE(viewContext);
    parentOf(viewContext, design.Get());
    Port::XUID id;
    EXPECT_TRUE(viewContext->GetContextClassId(id) == kSuccess && id == Hvd::ClassId::View());
  }
  EXPECT_GT(count, 0);

  // Class ids of the owners, and instance ids that tell the objects apart.
  Port::XUID projectClass, designClass, projectId, designId;
  EXPECT_TRUE(projectContext->GetContextClassId(projectClass) == kSuccess && projectClass == Hvd::ClassId::Project());
  EXPECT_TRUE(designContext->GetContextClassId(designClass) == kSuccess && designClass == Hvd::ClassId::Design());
  ASSERT_TRUE(projectContext->GetContextId(projectId) == kSuccess && designContext->GetContextId(designId) == kSuccess);
  EXPECT_FALSE(projectId == designId);

  // A null argument is refused by each, naming it.
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(projectContext->GetContextParent(nullptr), Hvd::kInvalidParameter);
  EXPECT_EQ(designContext->GetContextParent(nullptr), Hvd::kInvalidParameter);
  EXPECT_TRUE(Said("ERROR: Project::GetContextParent - Invalid Parameter.\n"));
  EXPECT_TRUE(Said("ERROR: Design::GetContextParent - Invalid Parameter.\n"));
}

// A design or view made on its own has no parent to give: the design leaves the argument as
// it was, the view clears it and says why.
TEST_F(PropertyContextChainTest, AContextWithoutItsOwnerAnswersNoParent) {
  AutoRelease<CitI::IInterface> design(CitP::Factory::CreateInstance(Hvd::ClassId::Design()));
  AutoRelease<CitI::IInterface> view(CitP::Factory::CreateInstance(Hvd::ClassId::View()));
  AutoCast<IPropertyContext> designContext(design.Get()), viewContext(view.Get());
  ASSERT_TRUE(designContext && viewContext);
  IPropertyContext* parent = viewContext;
  EXPECT_EQ(designContext->GetContextParent(&parent), Hvd::kMissingInterface);
  EXPECT_EQ(parent, viewContext.Get());
  Port_MsgManData::ClearCaptured();
  EXPECT_EQ(viewContext->GetContextParent(&parent), Hvd::kOwnerMissing);
  EXPECT_EQ(parent, nullptr);
  EXPECT_TRUE(Said("ERROR: View::GetContextParent - No Design parent for View.\n"));
  EXPECT_EQ(viewContext->GetContextParent(nullptr), Hvd::kInvalidParameter);
  EXPECT_TRUE(Said("ERROR: View::GetContextParent - Invalid Parameter.\n"));
}

}  // namespace
