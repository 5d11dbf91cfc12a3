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
