// Every interface id that the library and the stand-ins publish, pinned to its text, so that a
// client written to the published ids keeps getting its interfaces; and a client's road through
// the loaded library by those texts alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CitI/IInterface.h"
#include "CitP/Factory.h"
#include "CommonI/IRefCount.h"
#include "HdcI/IHDProject.h"
#include "Hvd/ClassIds.h"
#include "Hvd/IBaseServices.h"
#include "Hvd/IBatchDelay.h"
#include "Hvd/ICheckpoint.h"
#include "Hvd/ICompAdmin.h"
#include "Hvd/IConfiguration.h"
#include "Hvd/IDefData.h"
#include "Hvd/IDefDataId.h"
#include "Hvd/IDesign.h"
#include "Hvd/IDesignPlatform.h"
#include "Hvd/IDumper.h"
#include "Hvd/IFile.h"
#include "Hvd/IFileManager.h"
#include "Hvd/IFileType.h"
#include "Hvd/IHdlFile.h"
#include "Hvd/IHdlNetListNode.h"
#include "Hvd/IHdlNetlist.h"
#include "Hvd/IHdlPortList.h"
#include "Hvd/IHdlProject.h"
#include "Hvd/IHlcFileTypeHelper.h"
#include "Hvd/IKeyedPropertySet.h"
#include "Hvd/IProject.h"
#include "Hvd/IProjectCopy.h"
#include "Hvd/IProjectHelper.h"
#include "Hvd/IProjectInfo.h"
#include "Hvd/IPropertyContext.h"
#include "Hvd/IRepoMine.h"
#include "Hvd/ISharedConstraintMgr.h"
#include "Hvd/ISourceLibrary.h"
#include "Hvd/ISourceLibraryMember.h"
#include "Hvd/IState.h"
#include "Hvd/ITclInterp.h"
#include "Hvd/ITransformBindingInstance.h"
#include "Hvd/ITransformBindingSets.h"
#include "Hvd/ITransformEngine.h"
#include "Hvd/ITransformInstance.h"
#include "Hvd/IView.h"
#include "Hvd/IViewManager.h"
#include "Hvd/IZmrFileReader.h"
#include "Hvd/Ipc/IConnectionManager.h"
#include "Prjrep/IActivatible.h"
#include "Prjrep/IAttachment.h"
#include "Prjrep/IAutonym.h"
#include "Prjrep/IEvents.h"
#include "Prjrep/IFileNameHelper.h"
#include "Prjrep/IName.h"
#include "Prjrep/IObjTable.h"
#include "Prjrep/IPersist.h"
#include "Prjrep/IProjectRepository.h"
#include "Prjrep/IRefCount.h"
#include "Prjrep/IRegKeyPairs.h"
#include "Prjrep/ISet.h"
#include "Prjrep/IStorage.h"
#include "Prjrep/IStringSet.h"
#include "Prjrep/Storage.h"

namespace {

struct PinnedId {
  const char* name;
  Port::XUID declared;
  const char* text;
};

#define PIN(I, text) (PinnedId{#I, I::GetIID(), text})

std::vector<PinnedId> PublishedIds() {
  return {
      // Hvd/IBatchDelay.h
      PIN(Hvd::IBatchDelay, "{2fbd4cf7-f87e-4341-8ad4-dfbb144ecb09}"),
      // Hvd/ICheckpoint.h
      PIN(Hvd::ICheckpoint, "{BF854528-187B-44c3-92C8-AF0E1C30BBB2}"),
      PIN(Hvd::ICheckpointIterator, "{1EFD8138-4CC1-4e55-835D-2B5D26439205}"),
      PIN(Hvd::ICheckpointSet, "{012A320B-732F-454d-B919-79CDEC6F04C1}"),
      // Hvd/ICompAdmin.h
      PIN(Hvd::ICompAdmin, "{D286AA9D-41D1-4f13-93B1-54FCB51D6E8C}"),
      PIN(Hvd::IReconcileToDefData, "{D36003BA-B58B-4d18-BBDE-EAD221F17817}"),
      // Hvd/IConfiguration.h
      PIN(Hvd::IConfiguration, "{18469541-98f8-44bd-be25-dde97aed59bb}"),
      PIN(Hvd::IConfigurationIterator, "{6caa6968-111a-4fdf-9502-597791230c15}"),
      PIN(Hvd::IConfigurationSet, "{b1ec0b38-a610-4788-b25e-bf10ee7f64fc}"),
      PIN(Hvd::IConfigurationPrivate, "{B970C4F0-0897-4E57-8EF3-D3BF3A25F62C}"),
      PIN(Hvd::IConfigurationElement, "{7fc5a9cd-5641-43af-a4a8-561e7cefa060}"),
      PIN(Hvd::ISettableConfigurationElement, "{78B8A5F4-40FA-4B92-A99B-5D7B17CC0F3A}"),
      PIN(Hvd::IConfigurationElementIterator, "{7abd6e82-44f7-45e2-a3a4-80c3307a21e9}"),
      PIN(Hvd::IConfigurationElementSet, "{5f812214-2039-462a-9a4a-9d6e89c3e308}"),
      PIN(Hvd::IConfigurationManager, "{A8B589A5-32B1-4515-A463-D09D4A53BD5E}"),
      PIN(Hvd::IFlavor, "{6fbc0526-d578-45e9-a802-9e41dd6fcc36}"),
      PIN(Hvd::IPRModule, "{00f12fab-c9ae-4d51-8937-f9a40004a222}"),
      PIN(Hvd::IPRModuleIterator, "{f5de0774-7b18-4a92-ac3d-b5f06258ca4e}"),
      PIN(Hvd::IPRModuleSet, "{6a9eddd3-9ab4-4618-9bbc-eddd25157814}"),
      PIN(Hvd::ISettablePRModule, "{D0B88ACF-20C7-4156-AE21-7CA36F0A4480}"),
      PIN(Hvd::IPRModuleManager, "{54f08d8b-ce71-4518-8e51-a5ceb1dd4e46}"),
      PIN(Hvd::IPRProperties, "{A9BD5A4D-CA03-4FAD-BEDB-081FD4FBB356}"),
      PIN(Hvd::IFlavorIterator, "{c0312bd2-0199-4f8e-bb1d-36f91e96321e}"),
      PIN(Hvd::IFlavorSet, "{61b48331-e045-4914-96bb-948ccb38539a}"),
      PIN(Hvd::ISettableFlavor, "{771683A5-E793-4F71-AD37-600F45B50BD7}"),
      PIN(Hvd::IPRSolutionHelper, "{1C0A7EEE-5297-4018-BCC4-C8D05742BA2F}"),
      PIN(Hvd::IConfigurationHelper, "{1ff5279d-1281-42fe-b172-5db647f28923}"),
      PIN(Hvd::IFlavorHelper, "{5E63C7F5-630D-4424-8100-A024A4FC9D8D}"),
      // Hvd/IDesign.h
      PIN(Hvd::IDesign, "{3B5E41B0-5054-46c6-AF47-85275B8A76C2}"),
      PIN(Hvd::IDesignInternal, "{1848A991-8023-41fa-8B23-514CD44EA8E8}"),
      PIN(Hvd::IDesignUnit, "{FC1DAF1A-F9F6-4b06-9795-E73615CD96E2}"),
      // Hvd/IDesignPlatform.h
      PIN(Hvd::IDesignPlatform, "{2B106F35-D74A-4e2a-A13D-0EB6C8EE64F3}"),
      PIN(Hvd::IDesignPlatformInternal, "{686A1F58-8867-4a23-8EE1-A21C73CF6B76}"),
      // Hvd/IDumper.h
      PIN(Hvd::IDumper, "{a978b37f-f413-4632-990e-8e7d5dcca4f0}"),
      // Hvd/IFile.h
      PIN(Hvd::IFile, "{A828BA00-CF8B-4056-950C-728692B60A9D}"),
      PIN(Hvd::IFileInternal, "{417AEA00-8732-41cd-9D9F-3BFEE1CEB73D}"),
      PIN(Hvd::ICompileOrder, "{0FD54C4C-DA18-4EBE-AB3C-6D6AC3569599}"),
      PIN(Hvd::IOriginatorRef, "{DD3D6D91-B7BE-4678-AD33-66F1DAAF2C7B}"),
      PIN(Hvd::IViewClassAssociation, "{ae921b97-2ab6-4e7f-9c2f-0f646807f75d}"),
      PIN(Hvd::IDesignGraphLocatorSet, "{F1107372-2895-44b6-9D1B-31CB64ED63BB}"),
      // Hvd/IFileManager.h
      PIN(Hvd::IFileManagerV1, "{73A54BF1-35D9-42e7-9FE7-F7C1E6E4B928}"),
      PIN(Hvd::IFileManagerV2, "{9A20F959-AFCA-4806-BF2D-908D6529120C}"),
      PIN(Hvd::IFileManager, "{f7802c82-be0b-4e13-b254-8c62b36e7934}"),
      PIN(Hvd::IProjectInternal, "{0EAA14DC-A7E7-4f38-A54F-E61DE223C971}"),
      PIN(Hvd::IConflictReport, "{f4aeefcc-3ce4-4ad7-bf5e-773f8d0f21a7}"),
      PIN(Hvd::IConflictReportIterator, "{69562cb5-b105-46e8-a48c-e1e02ca97812}"),
      PIN(Hvd::IConflictReportSet, "{71b89a0a-ff43-422d-99be-0ca548ec8b97}"),
      // Hvd/IHdlFile.h
      PIN(Hvd::IHdlFile, "{7D72019D-90EF-4E4E-BCD9-A41DD3783D3F}"),
      PIN(Hvd::IHdlFileV3, "{0FED7C55-E955-4158-BD7D-4928C9D20B99}"),
      PIN(Hvd::IHdlFileV4, "{82A38AD0-ECD4-4C6F-B6C1-6D3656BB4953}"),
      PIN(Hvd::IHdlFileIterator, "{A4172EC4-9BCB-4d3b-BCDE-67F5F24E604B}"),
      PIN(Hvd::IHdlFileSet, "{0111BFCE-DA17-4b1e-9EB2-684863418205}"),
      PIN(Hvd::IHdlDesignUnit, "{30207634-85CC-41fd-8A17-2080599EA887}"),
      PIN(Hvd::IHdlDesignUnitIterator, "{972FD03E-EE3F-4e01-8D0F-B0EAB3C24259}"),
      PIN(Hvd::IHdlElement, "{09411137-6791-4986-AA3C-43609908D0C7}"),
      // Hvd/IHdlNetlist.h
      PIN(UtilI::ITclCollectable, "{dae8c38b-4c44-4839-9366-6c2227a85b8e}"),
      PIN(Hvd::IHdlElaborationData, "{6EDDD36C-90E1-4309-8EC4-487DD6DACFAB}"),
      PIN(Hvd::IHdlElaborationData2, "{5856C4F5-9CFE-4C8A-8803-326BCFE4DAA5}"),
      // Hvd/IKeyedPropertySet.h
      PIN(Hvd::IKeyedPropertySet, "{E504CE24-C999-46d4-B4AD-2E04D6235C14}"),
      // Hvd/IProject.h
      PIN(Hvd::IProject, "{155462E3-6B65-42e1-94AB-FC281C0EF860}"),
      PIN(Hvd::IProject2, "{630dab3a-c8de-4702-a188-cc9357f712f2}"),
      PIN(Hvd::IProject3, "{0cde1D9d-e9b8-4e73-a9CC-fee39a9897b1}"),
      PIN(Hvd::IProject4, "{7D5C3C0C-6FB1-41AB-9344-8FEAED82D084}"),
      PIN(Hvd::IProjectReference, "{9332BB2B-226C-43c4-8C5D-F39EB1847DB4}"),
      PIN(Hvd::IProjectReferenceIterator, "{B3CCB87A-DD11-4318-89D2-1E887F220F6F}"),
      PIN(Hvd::IProjectReferenceSet, "{FBE8DF46-620B-4509-8476-993135741619}"),
      PIN(Hvd::IProjectCompReference, "{c9b69cbc-0d15-4cc4-a24d-f403f60d77fd}"),
      PIN(Hvd::IProjectHelperReference, "{3259c984-781d-4acb-9af4-8bea87b0c587}"),
      PIN(Hvd::ICompositionControl, "{cc4224b1-6da8-4397-801e-95f471db1c7f}"),
      PIN(Hvd::IForceSave, "{bf23d568-8013-4fe4-9b4e-ebd5a56f3445}"),
      PIN(Hvd::IProjectSaveState, "{2220175c-482a-4004-8c29-fdd1153287a3}"),
      PIN(Hvd::IProjRefUtils, "{5aff8968-528c-4d11-a7da-e6778356e958}"),
      PIN(Hvd::ICheckpointManager, "{CC2B6961-0907-4a25-9836-A1CCC616207F}"),
      // Hvd/IProjectCopy.h
      PIN(Hvd::ICPFileMapInternal, "{822167F6-3C9C-4de7-9D7F-891696DCC319}"),
      PIN(Hvd::IProjectBundle, "{D9CE6F21-2DE3-42af-9F47-3C2B23D7413D}"),
      PIN(Hvd::IProjectSaveAsArchive, "{B9511B43-2F98-4152-9B5E-1B364DC23855}"),
      PIN(Hvd::IProjectSaveAsArchive2, "{83e1c5bd-2e1b-417d-9f3b-f2c9ccc7dd98}"),
      PIN(Hvd::IProjectSaveAsArchive3, "{C446CBB7-A845-441d-B4DF-8802B9A18E19}"),
      // Hvd/IProjectInfo.h
      PIN(Hvd::IProjectInfo, "{EDF80158-4DDA-4903-BF28-064776022AE5}"),
      // Hvd/IPropertyContext.h
      PIN(Hvd::IPropertyContext, "{E89E284E-C1AE-4b5c-93A7-BF2CA2ABC063}"),
      // Hvd/IRepoMine.h
      PIN(Hvd::IRepoMineTclStrings, "{0f48b57a-2875-4341-912a-8222a399af5d}"),
      PIN(Hvd::IProjectBuilder, "{0d215222-ad5a-4429-98ac-545f726ce17c}"),
      // Hvd/ISourceLibrary.h
      PIN(Hvd::ISourceLibrary, "{7C2F9D39-7968-43b1-9E48-513B8B84AF4F}"),
      PIN(Hvd::ISourceLibraryInternal, "{1848A991-8023-41fa-8B23-514CD44EA8E8}"),
      PIN(Hvd::ISourceLibraryIterator, "{D4B8803A-BC40-401D-B962-AB7C67AADBC0}"),
      PIN(Hvd::ISourceLibrarySet, "{D481268A-E3D5-4ce2-8A2E-420A5F5AA2F9}"),
      PIN(Hvd::ISourceLibraryManager, "{8E35DC55-749A-4ef5-AC1A-99184459E548}"),
      // Hvd/ISourceLibraryMember.h
      PIN(Hvd::ISourceLibraryMember, "{E35A170C-4453-4b4c-96F9-82F43A65BCCD}"),
      PIN(Hvd::ISourceLibraryMemberInternal, "{DE39DD91-391F-4a63-B148-048A45E98BA3}"),
      // Hvd/IState.h
      PIN(Hvd::IStateValueIterator, "{8D8D6EAB-45F8-4841-99DA-506CBDD11C1B}"),
      PIN(Hvd::IState, "{283B14B0-7B93-4a7d-850B-D0C23A810973}"),
      // Hvd/ITransformBindingSets.h
      PIN(Hvd::ITransformBindingInstanceIterator, "{51847251-BCBB-4505-86F6-4E33635FEBED}"),
      PIN(Hvd::ITransformBindingInstanceSet, "{5D668616-2130-473f-87CA-0293AEC8F386}"),
      PIN(Hvd::ITransformBindingSets, "{B274802E-4516-46f7-8C43-C72662B53265}"),
      // Hvd/IView.h
      PIN(Hvd::IViewV1, "{D5D259D3-5640-4b87-AA31-6AF43347846C}"),
      PIN(Hvd::IViewV2, "{71DA4930-DEEA-475f-A900-E1F2764A919B}"),
      PIN(Hvd::IView, "{7712A3E4-8429-449a-A82C-B7A1B78F3863}"),
      PIN(Hvd::IViewInternal, "{AE65980A-309E-4887-83C9-E89258F62C2A}"),
      PIN(Hvd::IHdlDesignUnitSet, "{BAE6D3D5-7643-4e4f-999A-E5AB13BD345F}"),
      PIN(Hvd::IFileIterator, "{798BF162-69BB-4ee6-8F01-A7FAA0B41D33}"),
      PIN(Hvd::IFileSet, "{CADD1E87-E08B-45d5-9C15-C2BA0F518BBA}"),
      PIN(Hvd::IHdlAssociationSet, "{44A85A12-A61A-4790-857C-50AF6B9F7AC9}"),
      PIN(Hvd::IViewTclHelper, "{dfbd36e9-69a3-4c8d-b18b-76d29fce98f7}"),
      // Hvd/IViewManager.h
      PIN(Hvd::IViewIterator, "{1362B6DE-02C2-450c-A0AC-815271E19031}"),
      PIN(Hvd::IViewSet, "{0E00E7EA-13A0-41b2-9201-3CD51B5B8CAE}"),
      PIN(Hvd::IViewManager, "{E24197FB-1178-4ad9-9206-3C429D3DEBFD}"),
      PIN(Hvd::IViewManagerV1, "{1184AD64-D087-42eb-9073-BA7347E1B2B2}"),
      PIN(Hvd::IViewNetworkHelp, "{25a9e219-6655-4851-af5a-a3069d2a111f}"),
      // Hvd/IZmrFileReader.h
      PIN(Hvd::IZmrFileReader, "{FAC7F25D-BCA7-45c9-81DC-84482974ABCC}"),
      // Hvd/IBaseServices.h
      PIN(Hvd::IBaseServices, "{40EC2140-A713-46cf-B94A-089290429162}"),
      PIN(Hvd::ITclEvaluation, "{BB8C50E6-11C9-4fcf-A850-9B4DB2B90493}"),
      PIN(Hvd::IDataStore, "{3327C668-D163-4d81-8591-EB38990E1A7B}"),
      PIN(Hvd::IPropertyTemplateStore, "{4DD1AADC-A53C-499c-8D03-5C792CA412B5}"),
      PIN(Hvd::IDesignPlatformTypeStore, "{C01C442C-9BEE-487c-A925-2160537AB4F0}"),
      PIN(Hvd::IViewTypeStore, "{C26F2507-6BAB-43f4-93F4-3B78B3D39C52}"),
      PIN(Hvd::IDesignUnitTypeStore, "{55CFF712-0391-4a8a-AE29-68FEFD7365B9}"),
      PIN(Hvd::IPlugInConfig, "{6a3c9e51-0d27-4b84-9f16-c2e58b7a4d03}"),
      PIN(Hvd::IPlugInConfigStore, "{8FC59817-52F3-4fe2-9F86-88CA250D7F1E}"),
      PIN(Hvd::ICodeHookInstance, "{FDD65C8C-A17C-4a08-88F8-ED2330AD9FA8}"),
      PIN(Hvd::IFamilyTemplates, "{4c3a2407-3d51-4d5b-a8b3-be40048c75b9}"),
      PIN(Hvd::IFamilySelection, "{9a4d2c61-0f3e-4b7a-a5d8-6e1c7b3f2094}"),
      PIN(Hvd::IPropertyManager, "{A5820D93-2E0C-4feb-BE76-BE93E76F0212}"),
      PIN(Hvd::Ppm::IPropertyMgrInternal, "{0D1C55B2-5553-47d9-8CC0-E4D2EA6F656F}"),
      PIN(Hvd::Ppm::IPropertyFetchInternal, "{043d4146-5534-4809-9b51-d90086f6c56a}"),
      PIN(Hvd::IListPropertyInstance, "{20BACECC-B800-45cf-89B2-F3D6E2051D09}"),
      PIN(Hvd::IBoolPropertyInstance, "{CE8D1DB4-66AC-4afd-91CC-B8A67204FEF3}"),
      PIN(Hvd::ILockable, "{FEB25ACF-0E2C-4023-9A22-D1AB06CD6571}"),
      PIN(Hvd::IFilePropertyInstance, "{5ADA0FE3-591F-4c1d-9C36-F23B1043735A}"),
      PIN(Hvd::IDeviceEntry, "{b7f05c2e-4d18-4a63-9c0b-2e8a6f1d7c45}"),
      PIN(Hvd::IDeviceFieldIterator, "{d3a96e17-8b2c-4f05-a1e4-5c7b0d9f2a68}"),
      PIN(Hvd::IDeviceStore, "{55CC6788-3DC7-4bcd-936B-4D06E9DCF373}"),
      // Hvd/IDefData.h
      PIN(Hvd::IDefDataObsolete, "{5709417A-AF32-4090-BC5C-37CF6701068F}"),
      PIN(Hvd::IViewType, "{9FC9C959-67CF-44cc-B2AA-CFFF3178C051}"),
      PIN(Hvd::IDesignUnitType, "{2f6d8e14-7a3b-4c59-b0e2-8d41c6a7f395}"),
      PIN(Hvd::IDefDataIdIterator, "{BC8064BA-F502-42a9-ADFF-4E78944A7E88}"),
      PIN(Hvd::IViewTypeFlow, "{e5d049c4-7ee9-42df-91a0-f386fb0b5bad}"),
      PIN(Hvd::ITransformDefinition, "{f8dff549-a90d-414f-94f9-ce3bae3f3530}"),
      PIN(Hvd::IPropertyTemplate, "{6DC175E5-2E0A-4286-8A17-8406613E9F61}"),
      PIN(Hvd::IDesignPlatformType, "{3d2e4c44-25a1-42be-9d31-3518ca66509c}"),
      PIN(Hvd::IDesignPlatformTypeIterator, "{da435622-a542-4eb9-a1d8-418968b76867}"),
      PIN(Hvd::ICodeHookDefn, "{21D99E4C-9879-494e-983E-653EA158771F}"),
      PIN(Hvd::IPropertyTemplate2, "{fe639841-1fdc-4c78-a9e4-7e061f2a8fa3}"),
      PIN(Hvd::IPropertyInstance, "{192C8C8B-0BCC-4db7-9A89-EC528B0D0358}"),
      PIN(Hvd::IPropertyInstanceIterator, "{A1411C67-EDF9-4a20-9B52-5F6C262AE344}"),
      PIN(Hvd::IPropertyInstanceSet, "{8BE495AF-9F97-4482-9C1F-E105338FE6E9}"),
      // Hvd/IDefDataId.h
      PIN(Hvd::IDefDataId, "{05E2C73F-A5B3-4a0b-9AB1-9229002413CB}"),
      // Hvd/IFileType.h
      PIN(Hvd::IFileType, "{6b0f2d3e-8c41-4f7a-9e25-1d7c3a5b9f02}"),
      PIN(Hvd::IFileTypeStore, "{8e3f51a2-6c07-4b9d-a4e8-2f6d0c91b753}"),
      // Hvd/IHlcFileTypeHelper.h
      PIN(Hvd::IHlcFileTypeHelper, "{5a4b9b1e-6a05-41ce-91a9-613fccbfc1be}"),
      // Hvd/IProjectHelper.h
      PIN(Hvd::IProjectHelper, "{6002c9fe-bb9b-4ed7-9b78-d59cf0c04b07}"),
      PIN(Hvd::IProjectHelper2, "{90e9e283-8bfe-41bd-a189-e1209da8a345}"),
      PIN(Hvd::IProjSrcHelper, "{5532212d-d0ab-48fe-9225-102e3fd3b8bf}"),
      PIN(Hvd::ISourceViewAssoc, "{e6ed593c-df50-464c-893f-16e7b22ff549}"),
      // HdcI/IHDProject.h
      PIN(HdcI::IPartition, "{2f6d8a1e-5c34-4b7a-9e02-8d1c6b4a3f57}"),
      PIN(HdcI::IPartitionIterator, "{9c4e2b71-0a58-4d36-b1f3-6e7d2c8a5b40}"),
      PIN(HdcI::IPartitionStage, "{510FD4BA-1AD7-459B-8BEF-4E302FC4E644}"),
      PIN(HdcI::IPartitionText, "{E5E11496-3C0E-42FC-B9E5-3558F81CEE15}"),
      PIN(HdcI::IHDProject, "{F358B3BB-63AA-4D89-A57E-507733C84974}"),
      PIN(HdcI::IHDProjectSetup, "{d41a7c93-2e68-4b05-8f1d-5a3b9e0c7264}"),
      // Hvd/IHdlNetListNode.h
      PIN(Hvd::IHdlNetListNodeIterator, "{A9DBA847-511F-43e1-B23B-ECB6D9013DE5}"),
      PIN(Hvd::IHdlNetListNode, "{D12022E4-0490-4fe5-9900-1AFFCFE91CDD}"),
      // Hvd/IHdlPortList.h
      PIN(Hvd::IHdlPortList, "{5a16dac0-3828-4a07-a6e1-ab03d4f6f80f}"),
      // Hvd/IHdlProject.h
      PIN(Hvd::IHdlParserConfig, "{9ED40204-23B5-4788-8024-B4602CC2B1B2}"),
      PIN(Hvd::IHdlProject, "{4DE85D33-3A67-433C-98E8-7E6EBB9070B6}"),
      PIN(Hvd::IFileCompReference, "{a89efb38-ccca-4eab-94e8-ae98e2d2d2e1}"),
      // CitI/IInterface.h
      PIN(CitI::IInterface, "{c569a982-87c5-4d45-8a2c-17b796723bdc}"),
      PIN(CitI::IFactory, "{ce41bd14-86b2-417f-a704-35c0e5294564}"),
      // CommonI/IRefCount.h
      PIN(CommonI::IRefCount, "{f3524653-0fb8-4605-a6c1-6e80946a2cdd}"),
      // Hvd/Ipc/IConnectionManager.h
      PIN(Hvd::Ipc::IAddSource, "{5607147E-BCE5-4d3f-830B-91035CCFE94C}"),
      PIN(Hvd::Ipc::IShutDown, "{3AD44702-D6A3-455d-A15B-06188A65F927}"),
      PIN(Hvd::Ipc::IConnectionManager, "{B6D019C6-E316-410f-BCD9-E94517F54999}"),
      // Hvd/ISharedConstraintMgr.h
      PIN(Hvd::ISharedConstraintMgr, "{F53793FB-1C04-4606-A655-FB37C6CFA460}"),
      // Prjrep/IActivatible.h
      PIN(Prjrep::IActivatible, "{617E6E68-C2B4-4EEF-8834-AE3D56049E30}"),
      // Prjrep/IAttachment.h
      PIN(Prjrep::IComponentAttachment, "{f0d3c266-36e2-4989-ad27-86ca5c04de30}"),
      PIN(Prjrep::IAttachedInterface, "{bbbf2201-123b-4241-9e96-54cf4bcf25f0}"),
      // Prjrep/IAutonym.h
      PIN(Prjrep::IAutonym, "{63b9b761-7054-4db8-92b1-0570c0834fa4}"),
      PIN(Prjrep::ISaveAutonym, "{7b683c58-1a7a-4709-af51-fbb4ce380204}"),
      PIN(Prjrep::IAutonymIterator, "{0ce77fb5-9758-456d-969e-2b8574669337}"),
      PIN(Prjrep::IAutonymSet, "{3176b1cd-8dc3-4288-88d1-2058f8c86efe}"),
      PIN(Prjrep::IAutoNaming, "{b4589f64-f1cb-4351-b184-21cae1ecc25b}"),
      PIN(Prjrep::ISimpleNamedLookup, "{520c01e5-7bb2-40bf-ae09-94bc499fa19c}"),
      PIN(Prjrep::IAutonymLookup, "{28ddfd92-7ae5-4cde-a460-00fbd85d4aec}"),
      // Prjrep/IEvents.h
      PIN(Prjrep::IEvent, "{9760C86D-941B-41ce-8609-77FCDAE07146}"),
      PIN(Prjrep::IEventSender, "{82108F49-98A8-4f53-92A0-2669D1BA407E}"),
      PIN(Prjrep::IEventReceiver, "{78AF817C-5874-438d-83B7-80A9A1956E24}"),
      // Prjrep/IFileNameHelper.h
      PIN(Prjrep::IFileNameHelper, "{FA5E7073-3DF3-4e72-9A04-BC21A13DD24C}"),
      // Prjrep/IName.h
      PIN(Prjrep::IName, "{02C092B4-7972-4bbe-8340-B370F411CC8F}"),
      PIN(Prjrep::INameIterator, "{65C8DD9E-42D5-4533-AE82-62FC89EC42A5}"),
      PIN(Prjrep::INameSet, "{3F23E91A-B4A2-48fb-99FA-90029B457F42}"),
      PIN(Prjrep::ITimestamp, "{40930B37-B328-47ef-8C5B-3694519FCEDD}"),
      // Prjrep/IObjTable.h
      PIN(Prjrep::IObjectTableInfoIterator, "{4903727c-5af1-4139-9448-3b0d47c9a838}"),
      PIN(Prjrep::IObjTableAccess, "{683015d8-60bd-4989-a9d6-2b3aaa982e91}"),
      PIN(Prjrep::IStorageContents, "{9b0f3c2a-6d41-4e8b-a5f7-2c81d04e6b93}"),
      // Prjrep/IPersist.h
      PIN(Prjrep::IPersist, "{e01498e5-d7f8-41f9-ab72-45c28cefe8e0}"),
      // Prjrep/IProjectRepository.h
      PIN(Prjrep::IProjectRepository, "{4acc753f-32b2-4730-96e6-8cf7f75dde8b}"),
      PIN(Prjrep::IProjectRepositoryInternal, "{B99C868C-8BF8-4022-B3EF-3132946FEB51}"),
      // Prjrep/IRefCount.h
      PIN(Prjrep::IRefCountV1, "{566CB84B-9321-4486-9F02-9C0F505504E0}"),
      PIN(Prjrep::IRefCount, "{80b45faf-a340-43e6-b60b-0435fadea5f3}"),
      // Prjrep/IRegKeyPairs.h
      PIN(Prjrep::IRegKeyPairs, "{376dfd5a-e08d-4140-8857-be4c85e39009}"),
      PIN(Prjrep::IRegKeyStorage, "{4026998c-1eee-4db3-bc9f-615ec0ffd949}"),
      // Prjrep/ISet.h
      PIN(Prjrep::IIterator, "{3c5e8f5a-2b1d-4a07-9e64-7f1a0c2d9b31}"),
      PIN(Prjrep::ISet, "{4EEF3E91-5FAB-46b3-A346-7871275F9AE8}"),
      // Prjrep/IStorage.h
      PIN(Prjrep::IStorage, "{63a2caaf-683e-4bdf-b0aa-83d360bc199d}"),
      // Prjrep/IStringSet.h
      PIN(Prjrep::IStringIterator, "{A81851DC-DE3C-46de-8014-99C978F2AFF2}"),
      PIN(Prjrep::IStringSet, "{BF0F6662-0DDA-4b8d-9515-B42E7A1D2CD7}"),
      // Prjrep/Storage.h
      PIN(Prjrep::IStorageControl, "{7d3b5c1e-42a9-4f06-b8e1-5c0a93d27f64}"),
      // Hvd/ITclInterp.h
      PIN(Hvd::ITclInterp, "{82265946-11E5-4ce5-AFCE-3406D3E342EE}"),
      // Hvd/ITransformBindingInstance.h
      PIN(Hvd::ITransformBindingInstance, "{4E3EFC7C-3722-410c-8A19-4A8A72DA125F}"),
      // Hvd/ITransformEngine.h
      PIN(Hvd::ITransformEngine, "{9355F294-9553-4191-8F77-D98337376BA0}"),
      PIN(Hvd::ITransformAccess, "{7779dd29-a84f-47d0-a2f6-8c4c56e36612}"),
      PIN(Hvd::IStatusCalculator, "{39062320-5cf2-4c13-95fb-e44c026b40f3}"),
      // Hvd/ITransformInstance.h
      PIN(Hvd::ITransform, "{B0AFD5EE-4818-4F14-A00A-917B2AC37524}"),
      PIN(Hvd::ITransformInstance, "{28B93F81-D38F-4B22-80EE-7E211FBC0677}"),
      PIN(Hvd::ITransformInstance2, "{432e1c66-b7b8-428d-9152-27c380c760c9}"),
      PIN(Hvd::ITransformInstanceIterator, "{D1AD73C4-04F9-4046-8672-C076120C0046}"),
      PIN(Hvd::IStatusValueIterator, "{3DA4DA77-F3B5-4FFE-8BA5-7AA14CA7A079}"),
      PIN(Hvd::IStatus, "{81FEEA1E-D127-4b77-A673-3D8440659B95}"),
  };
}

#undef PIN

TEST(InterfaceIdsTest, EveryPublishedInterfaceCarriesItsIdText) {
  for (const PinnedId& pin : PublishedIds()) {
    EXPECT_TRUE(pin.declared == Port::XUID(pin.text))
        << pin.name << " is " << pin.declared.GetAsString().c_str() << ", published as " << pin.text;
  }
}

TEST(InterfaceIdsTest, NoTwoPublishedInterfacesShareAnId) {
  // The design's and the source library's internal faces have always carried one id; no
  // component answers both, so each is asked of its own component only.
  const std::pair<std::string, std::string> sharedOnPurpose{"Hvd::IDesignInternal", "Hvd::ISourceLibraryInternal"};
  std::vector<PinnedId> pins = PublishedIds();
  std::sort(pins.begin(), pins.end(), [](const PinnedId& a, const PinnedId& b) {
    return a.declared < b.declared || (a.declared == b.declared && std::string(a.name) < b.name);
  });
  for (std::size_t i = 1; i < pins.size(); ++i) {
    if (!(pins[i - 1].declared == pins[i].declared)) continue;
    const std::pair<std::string, std::string> both{pins[i - 1].name, pins[i].name};
    EXPECT_EQ(both, sharedOnPurpose) << "one id " << pins[i].declared.GetAsString().c_str();
  }
}

// A client that knows only the texts reaches a module's flavors and walks them.
TEST(InterfaceIdsTest, AClientReachesAModulesFlavorsByTheTextsAlone) {
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libHvd_DesignData"));
  CitI::IInterface* root = CitP::Factory::CreateInstance(Hvd::ClassId::PRModule());
  ASSERT_NE(root, nullptr);
  auto* module =
      static_cast<Hvd::IPRModule*>(root->QueryInterface(Port::XUID("{00f12fab-c9ae-4d51-8937-f9a40004a222}")));
  ASSERT_NE(module, nullptr);
  Hvd::IFlavorSet* flavors = nullptr;
  ASSERT_EQ(module->GetFlavorSet(&flavors), Hvd::kSuccess);
  ASSERT_NE(flavors, nullptr);
  EXPECT_EQ(flavors->QueryInterface(Port::XUID("{61b48331-e045-4914-96bb-948ccb38539a}")), flavors);
  Hvd::IFlavorIterator* each = nullptr;
  ASSERT_EQ(flavors->GetIterator(&each), Hvd::kSuccess);
  ASSERT_NE(each, nullptr);
  EXPECT_EQ(each->QueryInterface(Port::XUID("{c0312bd2-0199-4f8e-bb1d-36f91e96321e}")), each);
  EXPECT_TRUE(each->IsDone());
  auto release = [](CitI::IInterface* object) {
    std::ignore = static_cast<Prjrep::IRefCount*>(object->QueryInterface(Prjrep::IRefCount::GetIID()))->Release();
  };
  release(each);
  release(flavors);
  release(root);
  CitP::Factory::Shutdown();
}

}  // namespace
