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
# Defines the synchronisation steps; called again by the reset below, for a caller may have put
# steps of its own in their place.
proc ::velmor::Hvd::DefineSyncRecorders {} {
    foreach procedure {PullPartitionsIntoConfiguration PullHackFilesIntoConfiguration
                       PushPartionsOutOfConfiguration PushHackFilesOutOfConfiguration} {
        proc ::velmor::pr_sync_actions::$procedure {args} \
            "lappend ::velmor::pr_sync_actions::asked \[list [list $procedure] {*}\$args\]"
    }
}
::velmor::Hvd::DefineSyncRecorders

# Forgets everything the stand-in recorded and every answer still queued, as a fresh process
# starts: the interpreter lives as long as the process, through every load of the library.
proc ::velmor::Hvd::hvd_ResetRecords {} {
    ::velmor::Hvd::hvd_ResetDialogs
    set ::velmor::Hvd::compileAsked {}
    set ::velmor::pr_sync_actions::asked {}
    ::velmor::Hvd::DefineSyncRecorders
    # The migration script's record and answer, with any trace on them, go whole: the script
    # sets them up again, as it first does, when it is next sourced.
    unset -nocomplain ::velmor::Hvd::migrateAsked ::velmor::Hvd::migrateAnswer
    return
}

# The black box of a child project's top, for the parent that takes the child as a netlist:
# the top's declaration without contents, written beside the child project in the top's language
# as "NAME_blackbox.vhd" (a VHDL entity), "NAME_blackbox.sv" (a module of a SystemVerilog file)
# or "NAME_blackbox.v" (a Verilog module). It declares what the HDL parser reads of the top: the
# clauses its declarations need, its generics or parameters and its ports, as written. `unit` is
# the handle of the top's file; the top is the last entity, else the last module, the file
# declares. The answer is the file's path relative to the child's folder, or "" when the file
# declares neither.
proc ::velmor::Hvd::hvd_generateBlackBox {childPath unit} {
    set path [::velmor::Hvd::hvd_ObjectPath $unit]
    set units [::velmor::Hvd::hvd_HdlPorts $unit]
    set top {}
    foreach type {DESUT_VERILOG_MODULE DESUT_VHDL_ENTITY} {
        foreach found $units {
            if {[dict get $found type] eq $type} { set top $found }
        }
    }
    if {$top eq {}} {
        return ""
    }
    set name [dict get $top name]
    set origin "generated for the parent of [file tail $childPath]"
    # An escaped or extended name may hold any character: the file's name keeps it to one plain
    # name beside the child.
    set stem [regsub -all {[^A-Za-z0-9_]} $name _]
    if {[dict get $top type] eq "DESUT_VHDL_ENTITY"} {
        set file ${stem}_blackbox.vhd
        set body [::velmor::Hvd::VhdlBlackBox $top "-- Black box of $name, $origin."]
    } else {
        set extension [expr {[regexp -nocase {\.sv[hp]?$} $path] ? "sv" : "v"}]
        set file ${stem}_blackbox.$extension
        set body [::velmor::Hvd::VerilogBlackBox $top "// Black box of $name, $origin."]
    }
    # A file of that name that this procedure did not write is the user's, and stays.
    set target [file join [file dirname $childPath] $file]
    if {[file exists $target] || [catch {file type $target}] == 0} {
        if {[file type $target] ne "file"} { error "$target is in the way of the black box" }
        set channel [open $target r]
        set first [gets $channel]
        close $channel
        if {[string first "Black box of $name, " $first] < 0} { error "$target is in the way of the black box" }
    }
    set channel [open $target w]
    puts -nonewline $channel $body
    close $channel
    return $file
}

# An entity of the unit's generics and ports, after the clauses its types need.
proc ::velmor::Hvd::VhdlBlackBox {unit heading} {
    set name [dict get $unit name]
    set text "$heading\n"
    foreach clause [dict get $unit context] { append text "$clause\n" }
    append text "\nentity $name is\n"
    foreach {keyword section} {generic generics port ports} {
        set lines {}
        foreach entry [dict get $unit $section] {
            lassign $entry entryName mode type dims value
            if {$section eq "generics" && $mode ne ""} {
                # a generic type, package or subprogram: its declaration whole
                lappend lines [join [concat $mode [list $entryName] [expr {$type eq "" ? {} : [list $type]}]]]
                continue
            }
            set line "$entryName : [expr {$mode eq "" ? "" : "$mode "}]$type"
            if {$value ne ""} { append line " := $value" }
            lappend lines $line
        }
        if {[llength $lines] > 0} {
            append text "  $keyword (\n    [join $lines ";\n    "]\n  );\n"
        }
    }
    append text "end entity $name;\n"
    return $text
}

# A module of the unit's parameters and ports: declared in its header, or, when the unit's header
# only names its ports, declared in its body after the header's names.
proc ::velmor::Hvd::VerilogBlackBox {unit heading} {
    set name [::velmor::Hvd::VerilogName [dict get $unit name]]
    set text "$heading\n"
    foreach clause [dict get $unit context] { append text "$clause\n" }
    set parameters {}
    foreach entry [dict get $unit generics] {
        lappend parameters [::velmor::Hvd::VerilogDeclaration $entry]
    }
    set ports {}
    set names {}
    foreach entry [dict get $unit ports] {
        lassign $entry portName mode
        if {[dict get $unit ansi] || $mode ne ""} {
            lappend ports [::velmor::Hvd::VerilogDeclaration $entry]
            lappend names [::velmor::Hvd::VerilogName $portName]
        } else {
            lappend names $portName  ;# an expression of nets that the body never declares as a port
        }
    }
    if {[dict get $unit ansi]} {
        append text "module $name"
        if {[llength $parameters] > 0} {
            append text " #(\n    [join $parameters ",\n    "]\n)"
        }
        if {[llength $ports] > 0} {
            append text " (\n    [join $ports ",\n    "]\n);\n"
        } else {
            append text " ();\n"
        }
    } else {
        append text "module $name ([join $names ", "]);\n"
        foreach declaration [concat $parameters $ports] {
            append text "  $declaration;\n"
        }
    }
    append text "endmodule\n"
    return $text
}

# "output reg [7:0] q [0:3] = 0" from {name mode type dims value}.
proc ::velmor::Hvd::VerilogDeclaration {entry} {
    lassign $entry name mode type dims value
    set words {}
    foreach word [list $mode $type "[::velmor::Hvd::VerilogName $name]$dims"] {
        if {$word ne ""} { lappend words $word }
    }
    set text [join $words " "]
    if {$value ne ""} { append text " = $value" }
    return $text
}

# A name as Verilog writes it: escaped, ending in a blank, unless it is a simple identifier.
proc ::velmor::Hvd::VerilogName {name} {
    if {[regexp {^[A-Za-z_][A-Za-z0-9_$]*$} $name]} { return $name }
    return "\\$name "
}

# The follow-up of an embedded-platform project opened without its hardware description: the
# ".mhs" file beside its ".zmr" is added to the project through the project helper bound as
# `helper`. An error when the project does not take it.
proc ::velmor::Hvd::hvd_chPostProcessAddFile {path helper} {
    ::velmor::Hvd::hvd_AddProjectSource $helper $path
    return ""
}

# The hook run when a file leaves its project: the stand-in has nothing of the file's to undo,
# and records the file's path in `removedFiles`, oldest first, for callers to read back.
namespace eval ::velmor::Hvd {
    variable removedFiles {}
}
proc ::velmor::Hvd::hvd_chFileRemoveHelper {file} {
    variable removedFiles
    lappend removedFiles [::velmor::Hvd::hvd_ObjectPath $file]
    return ""
}
