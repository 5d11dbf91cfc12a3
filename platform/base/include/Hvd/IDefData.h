#pragma once
// Definition data of the base services: view, design-unit and platform types, property
// templates and instances, code hooks, and the obsolete flag of a definition.

#include <cstdint>

#include "CitI/IInterface.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/Status.h"
#include "Port/StringBase.h"
#include "Prjrep/ISet.h"

namespace Hvd {

class IDefDataObsolete : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{5709417A-AF32-4090-BC5C-37CF6701068F}")

  virtual Hvd::Status IsObsolete(bool* obsolete) = 0;
};

class IDefDataIdIterator;
class IPropertyTemplate;

// The type of a view; it answers IDefDataId.
class IViewType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{9FC9C959-67CF-44cc-B2AA-CFFF3178C051}")

  // The design-unit types whose units the views of this type take; one reference for the caller.
  virtual Hvd::Status GetDesignUnitTypeIds(IDefDataIdIterator** ids) = 0;
  // The property templates of the views of this type (`group` 0: all of them), each answering
  // IPropertyTemplate; one reference for the caller.
  virtual Hvd::Status GetPropertyTemplates(std::int32_t group, IDefDataIdIterator** templates) = 0;
  // The template of the view setting `key`, with one reference; 0 and null when the type has none.
  virtual Hvd::Status GetPropertyTemplate(const Port::StringBase<char>& key, IPropertyTemplate** definition) = 0;
};

// The type of a design unit; it answers IDefDataId.
class IDesignUnitType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{2f6d8e14-7a3b-4c59-b0e2-8d41c6a7f395}")
};

class IDefDataIdIterator : public Prjrep::TIIterator<IDefDataId*> {
 public:
  CITI_DECLARE_IID("{BC8064BA-F502-42a9-ADFF-4E78944A7E88}")
};

// Where a view type stands in the design flow: the BRANCH and SUBBRANCH words of its views,
// and the transforms that lead from its views to the views downstream.
class IViewTypeFlow : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{e5d049c4-7ee9-42df-91a0-f386fb0b5bad}")

  // Empty when the type gives none.
  virtual Hvd::Status GetBranch(Port::StringBase<char>* branch) = 0;
  virtual Hvd::Status GetSubBranch(Port::StringBase<char>* subBranch) = 0;
  // The transforms from views of this type, in the data's order, each answering
  // ITransformDefinition; one reference for the caller.
  virtual Hvd::Status GetTransforms(Prjrep::IIterator** transforms) = 0;
};

// A transform of the design flow; it answers IDefDataId (its name) and IDefDataObsolete.
class ITransformDefinition : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{f8dff549-a90d-414f-94f9-ce3bae3f3530}")

  // The type of the views that the transform leads to, with one reference.
  virtual Hvd::Status GetTargetViewType(IViewType** type) = 0;
  // The file types that it takes, and those that it produces, in the data's order; one
  // reference for the caller.
  virtual Hvd::Status GetInputTypes(IDefDataIdIterator** types) = 0;
  virtual Hvd::Status GetOutputTypes(IDefDataIdIterator** types) = 0;
};

// The definition of a property; it answers IDefDataId (its name) and IDefDataObsolete.
class IPropertyTemplate : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{6DC175E5-2E0A-4286-8A17-8406613E9F61}")

  // The ids of the definitions this one depends on; one reference for the caller.
  virtual Hvd::Status GetDependencies(IDefDataIdIterator** dependencies) = 0;
  virtual Hvd::Status GetDefaultValue(Port::StringBase<char>* value) = 0;
};

// A type of design platform; it answers IDefDataId, whose name becomes the platform's name.
class IDesignPlatformType : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{3d2e4c44-25a1-42be-9d31-3518ca66509c}")

  // The ids of the property definitions that a platform of this type carries, in order;
  // one reference for the caller.
  virtual Hvd::Status GetPropertyTemplates(IDefDataIdIterator** ids) = 0;
};

class IDesignPlatformTypeIterator : public Prjrep::TIIterator<IDesignPlatformType*> {
 public:
  CITI_DECLARE_IID("{da435622-a542-4eb9-a1d8-418968b76867}")
};

// The code hook of a property definition: what to run when its instances change.
class ICodeHookDefn : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{21D99E4C-9879-494e-983E-653EA158771F}")

  virtual Hvd::Status GetHookName(Port::StringBase<char>* name) = 0;
  // The class that runs the hook; it answers ICodeHookInstance.
  virtual Hvd::Status GetHookClassId(Port::XUID& classId) = 0;
};

// The second name of a definition: the label under which it is shown and filed.
class IPropertyTemplate2 : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{fe639841-1fdc-4c78-a9e4-7e061f2a8fa3}")

  virtual Hvd::Status GetSecondName(Port::StringBase<char>* name) = 0;
};

// One property's value in one context; it answers IDefDataObsolete through its definition.
class IPropertyInstance : public CitI::IInterface {
 public:
  CITI_DECLARE_IID("{192C8C8B-0BCC-4db7-9A89-EC528B0D0358}")

  virtual Hvd::Status GetName(Port::StringBase<char>* name) = 0;
  virtual Hvd::Status GetValue(Port::StringBase<char>* value) = 0;
  virtual Hvd::Status SetValue(const Port::StringBase<char>& value) = 0;
  // The definition, with one reference for the caller.
  virtual Hvd::Status GetTemplate(IPropertyTemplate** definition) = 0;
  // True when the value is the definition's default.
  virtual Hvd::Status IsDefault(bool* isDefault) = 0;
};

// A set of property instances, such as a parser configuration or an object's properties.
class IPropertyInstanceIterator : public Prjrep::TIIterator<IPropertyInstance*> {
 public:
  CITI_DECLARE_IID("{A1411C67-EDF9-4a20-9B52-5F6C262AE344}")
};

class IPropertyInstanceSet : public Prjrep::TISet<IPropertyInstance*, IPropertyInstanceIterator> {
 public:
  CITI_DECLARE_IID("{8BE495AF-9F97-4482-9C1F-E105338FE6E9}")
};

}  // namespace Hvd
