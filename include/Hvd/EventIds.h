#pragma once
// The ids of the events that the library's components send.

#include "CitI/IInterface.h"

namespace Hvd::EventId {

// A name was set; sender and argument are the component whose name changed.
CITI_DEFINE_ID(NameChanged, "{3a1d6c87-78d2-472f-b72b-c6bb65cddedd}")

// Configurations, flavors and reconfigurable modules.
CITI_DEFINE_ID(FlavorReplaced, "{62f16310-2f5e-43bc-9a8c-0c0aa8c35b33}")
CITI_DEFINE_ID(ConfigurationActivated, "{b5da5f88-a928-470a-af50-f8a3cb856025}")
CITI_DEFINE_ID(ConfigurationManagerChanged, "{d9a8ab42-8972-4e8f-aaca-68276198ee02}")
CITI_DEFINE_ID(ConfigurationCreated, "{11ecd858-6fbb-41e5-9081-62b5934b7387}")
CITI_DEFINE_ID(ConfigurationRemoved, "{801a3af3-8d80-4af3-9a1c-f8f86337771c}")
CITI_DEFINE_ID(ModuleAssignedToConfiguration, "{9bf5bf2c-59ee-46c7-986e-b23fb288d52f}")
CITI_DEFINE_ID(ConfigManagerCreated, "{78a20f43-d5cb-4412-855d-6dcd81ed47db}")
// A flavor with a project of its own was added to a module; the argument is the flavor.
CITI_DEFINE_ID(FlavorCreated, "{c3ecd042-550c-43e7-a354-e0a0d5087581}")

// Project, design and design platform.
CITI_DEFINE_ID(ViewsChanged, "{0BF0715C-6EBB-43ca-9C05-889B0C1B394B}")
CITI_DEFINE_ID(DesignPlatformChanged, "{CDC87937-9802-4761-BC40-1005EFD6635A}")
CITI_DEFINE_ID(FileAdded, "{4D63787D-E1AC-4082-9065-C4D0ABCCF316}")
CITI_DEFINE_ID(DesignUnitCreated, "{D236CC47-B6B6-43dd-B6D1-FB67508A8C5E}")
CITI_DEFINE_ID(ProjectClosing, "{9893E248-9CB9-45ca-9919-ED74B272A3D2}")
CITI_DEFINE_ID(ProjectOpened, "{CD55BAC2-425D-4a1f-B29E-DBB2D891284E}")
CITI_DEFINE_ID(ReloadBegins, "{f573b1e7-8c31-4c2b-9894-556d67f5c50b}")
CITI_DEFINE_ID(ReloadEnds, "{4cf1b5ba-07a5-47d1-92fa-4af216b1ca3c}")
CITI_DEFINE_ID(CleanUpBegins, "{88e11048-195f-4e7b-8653-6e365ce88cce}")
CITI_DEFINE_ID(CleanUpEnds, "{c161f86c-d6e3-4520-810b-190df18a0e41}")
// Asks the project's receivers whether a reload may go on (argument: a conflict-report set).
CITI_DEFINE_ID(ReloadQuery, "{DCC830C7-6151-4f8b-9F33-0AD1AEAAB69F}")

// Files and source libraries.
CITI_DEFINE_ID(FileModified, "{CBB1E13F-3F99-4597-874D-FFD968DDB09C}")
CITI_DEFINE_ID(LibraryMembership, "{3374BB55-752F-4d3d-9A61-8893AA2EAAB8}")
CITI_DEFINE_ID(FileChanged, "{03D85667-B878-4713-93A3-45C34077CC03}")
CITI_DEFINE_ID(FileRemoved, "{F7A027B7-7362-4842-B49E-751D1907B490}")
CITI_DEFINE_ID(HdlFileEvent, "{5470AB58-7ECF-4131-998B-59A93F76BAB5}")
CITI_DEFINE_ID(FileChangedOnDisk, "{E557E7EA-6942-4b9d-869B-BF085E05CF67}")
CITI_DEFINE_ID(LibraryCreated, "{895E5D3D-6B93-4abc-AD41-247DA6571E05}")
CITI_DEFINE_ID(LibraryRemoved, "{B174E633-8288-4188-B755-31B9D52C85CC}")

// Views.
CITI_DEFINE_ID(ViewChanged, "{E5E8A9B2-7143-4ea2-A4B4-D49AFA93A9F4}")
CITI_DEFINE_ID(ForwardedChange, "{A33470CC-30E6-40b6-8C03-4A4D998234AC}")
CITI_DEFINE_ID(FileAddedToView, "{D9614F81-9BA8-4efe-A5FC-0008CBEE88C4}")
CITI_DEFINE_ID(FileRemovedFromView, "{BA3921E6-C6BF-475c-BDAB-9097992AA3C0}")

}  // namespace Hvd::EventId
