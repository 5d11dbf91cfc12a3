# Creates one component of every registered class by class id, checks that it answers
# the root interface, releases it, and prints one line per class.

set rootId C569A982-87C5-4D45-8A2C-17B796723BDC

set classes {
    Hvd::CDesignPlatform          {C51AD7FF-32CC-4d05-A02A-336C1B38A077}
    Hvd::CProject                 {8DD3C446-4013-42fb-89D7-C16806C906C4}
    Hvd::CDesign                  {B74F4C88-9DF2-4b54-961F-8BD4D3C3083F}
    Hvd::CView                    {FC89F9A3-B8AC-45e6-87E1-B4EFB7A25FA1}
    Hvd::CFile                    {CCD946C3-0A31-4325-B004-6017AB1F3CD8}
    Hvd::CSourceLibrary           {78179803-01DB-4f43-B67F-E83C6C856443}
    Hvd::CProjectReference        {E9B1C16B-62EF-4732-A7CA-00C1EFBD4051}
    Hvd::CZmrFileReader           {D4D73882-E473-45b4-994B-35041B8437FA}
    Hvd::CDirectoryProjectBundle  {1D685613-9E12-4282-94F5-8A0BB091F861}
    Hvd::CConfigurationMgr        {ab757b66-4434-4cec-9985-c5074f24c4e9}
    Hvd::CConfiguration           {f093fe1e-b41e-42ff-a190-aed963afb728}
    Hvd::CConfigurationElement    {c9a3df2a-9813-43fc-baf0-39f9cf3769d1}
    Hvd::CPRModule                {5162a4ab-ce2e-483e-a7aa-518730a2579e}
    Hvd::CFlavor                  {4df56ccf-c1f8-4a5d-b0a4-dab69d9e1289}
    Hvd::CProjectAutonym          {3fef7f3a-4fc0-4954-98ab-3c94fd8840b5}
    Hvd::CConfigurationMgrAutonym {223a7093-955a-4263-959b-c72779fcee9b}
    Hvd::CConfigurationAutonym    {791ed710-3d20-467e-8384-f42dfc37dcda}
    Hvd::CFlavorAutonym           {1e940816-44f9-4116-b2a8-84a70c06b1f8}
    Hvd::CPRModuleAutonym         {c81c0659-8fea-4ec2-b9fa-e08fdc9a32f9}
    Hvd::CPRHelper                {46d13bb4-32d0-4956-ad01-ca173eb43e22}
    Hvd::CProjRefUtils            {53419825-3824-4e5b-b2df-895f30149960}
    Hvd::DumperComp               {c770af8b-4548-41c5-bb3e-a69f1293f75d}
    RepoMine                      {984d0d44-4f54-4cae-bb96-f1614150722f}
    Hvd::CProjectInfo             {a59c675a-e7ca-49ac-a590-3803615c2b26}
}

set failures 0
foreach {name id} $classes {
    if {[catch {component create $id} handle]} {
        puts "FAILED  $name {$id}: $handle"
        incr failures
        continue
    }
    if {![component query $handle $rootId]} {
        puts "FAILED  $name {$id}: does not answer the root interface"
        incr failures
    } else {
        puts [format "%-28s {%s}" $name $id]
    }
    component release $handle
}
exit [expr {$failures == 0 ? 0 : 1}]
