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
