# What the velsh test scripts share: checks that count failures instead of stopping.
set failures 0
proc check {what got want} {
    if {$got ne $want} {
        puts "FAIL $what: got {$got} want {$want}"
        incr ::failures
    }
}
proc fails {what script pattern} {
    if {![catch {uplevel 1 $script} message]} {
        puts "FAIL $what: no error"
        incr ::failures
    } elseif {![string match $pattern $message]} {
        puts "FAIL $what: error {$message} does not match {$pattern}"
        incr ::failures
    }
}
proc write {path text} {
    set f [open $path w]
    puts $f $text
    close $f
}
# What a file holds, byte for byte.
proc contents {path} {
    set channel [open $path rb]
    set text [read $channel]
    close $channel
    return $text
}
# Runs another velsh on SCRIPT, written as NAME.tcl in the script's folder ::root with these
# checks sourced, its standard input a pipe that is no terminal, and gives its exit status, what
# it printed and what it wrote to standard error.
proc piped_session {name script} {
    set path [file join $::root $name.tcl]
    set errors [file join $::root $name.err]
    write $path "source [list [file join [file dirname [info script]] checks.tcl]]\n$script"
    set status 0
    if {[catch {exec [info nameofexecutable] $path << "" 2> $errors} said options]} {
        set code [dict get $options -errorcode]
        set status [expr {[lindex $code 0] eq "CHILDSTATUS" ? [lindex $code 2] : $code}]
    }
    return [list $status $said [contents $errors]]
}
