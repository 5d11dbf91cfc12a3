# What the velsh benchmarks of adds share.

# A folder of this run's own under TMPDIR, named NAME and the process id, empty.
proc bench_root {name} {
  set root [file join [expr {[info exists ::env(TMPDIR)] ? $::env(TMPDIR) : "/tmp"}] "${name}_[pid]"]
  file delete -force $root
  return $root
}

proc write {path text} {
  set out [open $path w]
  puts -nonewline $out $text
  close $out
}

# Opens the project PROJECT (made when missing) and adds FILES one `velfile add` at a time; returns
# the clock in microseconds before the first add and after each. The project stays open for the
# caller's questions.
proc add_one_by_one {project files} {
  project open $project
  set stamps [list [clock microseconds]]
  foreach file $files {
    velfile add $file
    lappend stamps [clock microseconds]
  }
  return $stamps
}
