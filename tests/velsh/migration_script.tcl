# A project saved by an older major version is handed to the migration procedure of the
# installation's migration script, which the open sources: the procedure is not there before.
source [file join [file dirname [info script]] checks.tcl]

set root [file join [pwd] "velsh migration script [pid]"]
file delete -force $root
file mkdir $root
set older [file join $root older.xhlc]
write $older [join [list {<?xml version="1.0" encoding="UTF-8"?>} \
    {<project xmlns="http://www.velmor.com/XMLSchema" xmlns:vel_kv="http://www.velmor.com/XMLSchema">} \
    {  <version vel_kv:schema_version="2" vel_kv:hlc_version="13.1"/>} {</project>}] \n]

check "not built in" [info procs ::velmor::Hvd::migrateProject] ""
namespace eval ::velmor::Hvd { variable migrateAnswer cancel }
fails "cancelled" {project open $older} "*"
check "sourced" [info procs ::velmor::Hvd::migrateProject] ::velmor::Hvd::migrateProject
set ::velmor::Hvd::migrateAnswer true
project open $older
check "asked" [lmap asked $::velmor::Hvd::migrateAsked {lindex $asked 0}] [list $older $older]
project close

file delete -force $root
if {$failures} { exit 1 }
puts "migration script: all passed"
