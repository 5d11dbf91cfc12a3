# The stand-in's dialogs. There is no display: a question takes the next queued answer,
# else its default, and a message box only records its arguments, so nothing ever waits
# for a user. Callers queue answers in `answers` and read back `asked` and `shown`.

namespace eval ::velmor::Hvd {
    # The questions asked, oldest first.
    variable asked {}
    # The answers for the next questions, first answer first.
    variable answers {}
    # The message boxes shown, one list of arguments each.
    variable shown {}
}

proc ::velmor::Hvd::hvd_DisplayQuestionDialog {question default} {
    variable asked
    variable answers
    lappend asked $question
    if {[llength $answers] == 0} {
        return $default
    }
    set answers [lassign $answers answer]
    return $answer
}

proc ::velmor::Hvd::hvd_DisplayMessageBox {args} {
    variable shown
    lappend shown $args
    return ""
}

proc ::velmor::Hvd::hvd_ResetDialogs {} {
    variable asked {} answers {} shown {}
    return
}

# Reads a compile-order file: one source file a line, as a Tcl list "PATH ?LIBRARY?" ("work"
# when none is given); blank lines and lines starting with "#" are skipped. Each file goes
# into the string set `set` as "PATH||LIBRARY|". The answer is "false" when every line was
# read, "true" when one was not; a file that cannot be opened is a Tcl error.
proc ::velmor::Hvd::parseCompileOrderFile {path mode set} {
    set channel [open $path r]
    set text [read $channel]
    close $channel
    set errors false
    foreach line [split $text \n] {
        set line [string trim $line]
        if {$line eq "" || [string index $line 0] eq "#"} {
            continue
        }
        if {[catch {llength $line} count] || $count < 1 || $count > 2} {
            set errors true
            continue
        }
        set library [expr {$count == 2 ? [lindex $line 1] : "work"}]
        ::velmor::Hvd::hvd_StringSetAdd $set "[lindex $line 0]||$library|"
    }
    return $errors
}

# The copies of a configuration's results: a file is copied when the destination is missing
# or older, a directory merged file by file the same way; folders are made as needed.
namespace eval ::velmor::pr {}
proc ::velmor::pr::CopyNewerFile {source destination} {
    if {![file isfile $source]} { return 0 }
    if {[file exists $destination] && [file mtime $destination] >= [file mtime $source]} { return 0 }
    file mkdir [file dirname $destination]
    file copy -force -- $source $destination
    return 1
}
proc ::velmor::pr::CopyNewerDir {source destination} {
    if {![file isdirectory $source]} { return 0 }
    # A destination inside the source would be copied into itself without end.
    set from [file normalize $source]
    set to [file normalize $destination]
    if {$to eq $from || [string first "$from/" "$to/"] == 0} { return 0 }
    file mkdir $destination
    set copied 0
    foreach entry [glob -nocomplain -directory $source -tails * .*] {
        if {$entry eq "." || $entry eq ".."} continue
        set from [file join $source $entry]
        set to [file join $destination $entry]
        # Links are not followed: they may lead out of the tree or round to it.
        if {[file type $from] eq "link"} continue
        if {[file isdirectory $from]} {
            incr copied [::velmor::pr::CopyNewerDir $from $to]
        } else {
            incr copied [::velmor::pr::CopyNewerFile $from $to]
        }
    }
    return $copied
}

# The suite's compile of a project's constraint data and its Tcl synchronisation of
# configurations: the stand-in records what each was asked in `asked`, oldest first.
namespace eval ::velmor::Hvd {
    variable compileAsked {}
}
proc ::velmor::Hvd::hvd_ucfDirectCompileBCD {args} {
    variable compileAsked
    lappend compileAsked $args
}
namespace eval ::velmor::pr_sync_actions {
    variable asked {}
}
foreach procedure {PullPartitionsIntoConfiguration PullHackFilesIntoConfiguration
                   PushPartionsOutOfConfiguration PushHackFilesOutOfConfiguration} {
    proc ::velmor::pr_sync_actions::$procedure {args} \
        "lappend ::velmor::pr_sync_actions::asked \[list [list $procedure] {*}\$args\]"
}
unset procedure

# The black box of a child project's top, for the parent that takes the child as a netlist:
# the top's declaration without contents, written beside the child project as
# "NAME_blackbox.vhd" (a VHDL entity) or "NAME_blackbox.v" (a Verilog module). `unit` is the
# handle of the top's file; the top is the last entity or module that file declares. The
# parser tells no ports, so the declaration has none. The answer is the file's path relative
# to the child's folder, or "" when the file declares neither.
proc ::velmor::Hvd::hvd_generateBlackBox {childPath unit} {
    set channel [open [::velmor::Hvd::hvd_ObjectPath $unit] r]
    set text [read $channel]
    close $channel
    set entities [regexp -all -inline -nocase {(?:^|\n)[ \t]*entity[ \t\r\n]+([A-Za-z][A-Za-z0-9_]*)[ \t\r\n]+is\M} $text]
    set modules [regexp -all -inline {(?:^|\n)[ \t]*(?:macro)?module[ \t\r\n]+([A-Za-z_][A-Za-z0-9_$]*)} $text]
    set origin "generated for the parent of [file tail $childPath]"
    if {[llength $entities] > 0} {
        set name [lindex $entities end]
        set file ${name}_blackbox.vhd
        set body "-- Black box of $name, $origin.\nentity $name is\nend entity $name;\n"
    } elseif {[llength $modules] > 0} {
        set name [lindex $modules end]
        set file ${name}_blackbox.v
        set body "// Black box of $name, $origin.\nmodule $name ();\nendmodule\n"
    } else {
        return ""
    }
    # A file of that name that this procedure did not write is the user's, and stays.
    set target [file join [file dirname $childPath] $file]
    if {[file exists $target] || [catch {file type $target}] == 0} {
        if {[file type $target] ne "file"} { error "$target is in the way of the black box" }
        set channel [open $target r]
        set first [gets $channel]
        close $channel
        if {![string match "*Black box of $name, *" $first]} { error "$target is in the way of the black box" }
    }
    set channel [open $target w]
    puts -nonewline $channel $body
    close $channel
    return $file
}
