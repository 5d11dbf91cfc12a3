# The shell loads every component library of its folder, so the parser project, the base services
# and the partial-reconfiguration project helper answer by class id, each with its own interface.
set components {
    parser          {10977847-7D8D-46e9-AC19-7B0EED3C4657} {4DE85D33-3A67-433C-98E8-7E6EBB9070B6}
    base-services   {29FEB2D7-AD7A-4dfd-9C8A-316474202823} {40EC2140-A713-46cf-B94A-089290429162}
    project-helper  {0725c3d2-5e9b-4383-a7b6-a80c932eac21} {C569A982-87C5-4D45-8A2C-17B796723BDC}
}
foreach {name classId interfaceId} $components {
    set handle [component create $classId]
    puts "$name answers [component query $handle $interfaceId]"
    component release $handle
}
