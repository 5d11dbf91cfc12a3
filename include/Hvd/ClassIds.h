#pragma once
// Class ids of the components that the library registers, in registration order.

#include "CitI/IInterface.h"

namespace Hvd::ClassId {

CITI_DEFINE_ID(DesignPlatform, "{C51AD7FF-32CC-4d05-A02A-336C1B38A077}")
CITI_DEFINE_ID(Project, "{8DD3C446-4013-42fb-89D7-C16806C906C4}")
CITI_DEFINE_ID(Design, "{B74F4C88-9DF2-4b54-961F-8BD4D3C3083F}")
CITI_DEFINE_ID(View, "{FC89F9A3-B8AC-45e6-87E1-B4EFB7A25FA1}")
CITI_DEFINE_ID(File, "{CCD946C3-0A31-4325-B004-6017AB1F3CD8}")
CITI_DEFINE_ID(SourceLibrary, "{78179803-01DB-4f43-B67F-E83C6C856443}")
CITI_DEFINE_ID(ProjectReference, "{E9B1C16B-62EF-4732-A7CA-00C1EFBD4051}")
CITI_DEFINE_ID(ZmrFileReader, "{D4D73882-E473-45b4-994B-35041B8437FA}")
CITI_DEFINE_ID(DirectoryProjectBundle, "{1D685613-9E12-4282-94F5-8A0BB091F861}")
CITI_DEFINE_ID(ConfigurationMgr, "{ab757b66-4434-4cec-9985-c5074f24c4e9}")
CITI_DEFINE_ID(Configuration, "{f093fe1e-b41e-42ff-a190-aed963afb728}")
CITI_DEFINE_ID(ConfigurationElement, "{c9a3df2a-9813-43fc-baf0-39f9cf3769d1}")
CITI_DEFINE_ID(PRModule, "{5162a4ab-ce2e-483e-a7aa-518730a2579e}")
CITI_DEFINE_ID(Flavor, "{4df56ccf-c1f8-4a5d-b0a4-dab69d9e1289}")
CITI_DEFINE_ID(ProjectAutonym, "{3fef7f3a-4fc0-4954-98ab-3c94fd8840b5}")
CITI_DEFINE_ID(ConfigurationMgrAutonym, "{223a7093-955a-4263-959b-c72779fcee9b}")
CITI_DEFINE_ID(ConfigurationAutonym, "{791ed710-3d20-467e-8384-f42dfc37dcda}")
CITI_DEFINE_ID(FlavorAutonym, "{1e940816-44f9-4116-b2a8-84a70c06b1f8}")
CITI_DEFINE_ID(PRModuleAutonym, "{c81c0659-8fea-4ec2-b9fa-e08fdc9a32f9}")
CITI_DEFINE_ID(PRHelper, "{46d13bb4-32d0-4956-ad01-ca173eb43e22}")
CITI_DEFINE_ID(ProjRefUtils, "{53419825-3824-4e5b-b2df-895f30149960}")
CITI_DEFINE_ID(DumperComp, "{c770af8b-4548-41c5-bb3e-a69f1293f75d}")
CITI_DEFINE_ID(RepoMine, "{984d0d44-4f54-4cae-bb96-f1614150722f}")
CITI_DEFINE_ID(ProjectInfo, "{a59c675a-e7ca-49ac-a590-3803615c2b26}")

}  // namespace Hvd::ClassId
