# The target device as a user sets it: a new family brings a device, package and speed grade of
# its own, and a device, package or speed grade the family does not have is refused, in memory
# and on disk.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh device [pid]"]
file delete -force $root
file mkdir $root
set project [file join $root {dev [1] $x.xhlc}]
proc part {} {
    list [project get {Device Family}] [project get Device] [project get Package] [project get {Speed Grade}]
}

project open $project
check "default part" [part] {{Lumora II} LM2-45 fg484 -2}
project set {Device Family} Orvanta
check "family brings its part" [part] {Orvanta OV100 cs196 -4}
# A refusal names the setting as it was given and what the family, device or list allows.
fails "device of no family" {project set Device XYZ} {"XYZ" is not an allowed value of Device. Allowed values: OV100, OV250.}
fails "device by name" {project set PROP_DevDevice XYZ} {"XYZ" is not an allowed value of PROP_DevDevice. Allowed values: OV100, OV250.}
fails "device of another family" {project set Device LM2-45} {"LM2-45" is not an allowed value of Device. Allowed values: OV100, OV250.}
check "device kept" [project get Device] OV100
project set Device OV250
fails "package of another device" {project set Package tq144} {"tq144" is not an allowed value of Package. Allowed values: cs196, fg484, ft256.}
fails "speed of another family" {project set {Speed Grade} -7} {"-7" is not an allowed value of Speed Grade. Allowed values: -1, -2, -3, -4, -5.}
project set Package ft256
project set {Speed Grade} -5
check "chosen part" [part] {Orvanta OV250 ft256 -5}
# A device that has the package and speed keeps them; one that lacks the package takes its own.
project set Device OV100
check "device keeps its speed" [part] {Orvanta OV100 cs196 -5}
project set {Device Family} {Pellis CPLD}
project set Device PC64
project set {Device Family} Orvanta
project set Device OV250
project set {Speed Grade} -5
project close

set properties [dict get [project info $project] properties]
check "saved part" [list [dict get $properties {Device Family}] [dict get $properties Device] \
    [dict get $properties Package] [dict get $properties {Speed Grade}]] {Orvanta OV250 cs196 -5}
project open $project
check "reopened part" [part] {Orvanta OV250 cs196 -5}
fails "refused after reopening" {project set Device XYZ} {"XYZ" is not an allowed value of Device. Allowed values: OV100, OV250.}
project close
check "refused value not saved" [dict get [dict get [project info $project] properties] Device] OV250

file delete -force $root
if {$failures == 0} {
    puts "device settings: all passed"
} else {
    exit 1
}
