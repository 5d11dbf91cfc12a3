# The suite's migration of an older project, sourced before each migration: answers "true"
# when it wrote the .xhlc beside the file, "cancel" when the user declined, anything else to
# leave the project to the library's own conversion. The stand-in converts nothing: it records
# what it was asked in ::velmor::Hvd::migrateAsked and answers ::velmor::Hvd::migrateAnswer
# ("false" unless a test sets it).
namespace eval ::velmor::Hvd {
    variable migrateAnswer
    variable migrateAsked
    # Sourced again for every migration: what a caller set before stays.
    if {![info exists migrateAnswer]} { set migrateAnswer false }
    if {![info exists migrateAsked]} { set migrateAsked {} }
}
proc ::velmor::Hvd::migrateProject {file version extra} {
    variable migrateAnswer
    variable migrateAsked
    lappend migrateAsked [list $file $version $extra]
    return $migrateAnswer
}
