# `project open` and the first `project save` of a generated project, as a user times them,
# against `xmllint --format` of the same project file in the same run.
#
#   velsh bench/velsh/open.tcl ?FILES? ?ROUNDS? ?FOLDER?
#
# The project file is the one xhlc_bench generates (FILES sources in folders of a hundred, every
# tenth in one of seven libraries); its sources are written on disk too, a tree of entities in
# which unit_i instantiates unit_2i+1 and unit_2i+2. Each round opens a fresh copy of the project
# file, with no generated file or parser log yet. Printed per round: the open, the first save,
# the first order asked after them, xmllint, and the ratio of open plus first save to xmllint.
# A FOLDER given is kept, with the design and the last round's project, for a profile.
#
# With `-design headers`, the project is header_design.tcl's design of FILES files instead (VHDL
# in four libraries, a quarter of the Verilog files including a guarded define header beside
# them), listed in sorted order as single adds of them leave it, its headers among the files the
# project manages by itself.
#
#   velsh bench/velsh/open.tcl -design headers ?FILES? ?ROUNDS? ?FOLDER?

set kind tree
if {[lindex $argv 0] eq "-design"} {
  set kind [lindex $argv 1]
  set argv [lrange $argv 2 end]
  set argc [llength $argv]
  if {$kind ni {tree headers}} { error "unknown design \"$kind\": tree or headers" }
}
set count  [expr {$argc > 0 ? [lindex $argv 0] : 10000}]
set rounds [expr {$argc > 1 ? [lindex $argv 1] : 3}]
set root   [expr {$argc > 2 ? [file normalize [lindex $argv 2]] : [file join /tmp "velsh_open_[pid]"]}]
source [file join [file dirname [info script]] header_design.tcl]

proc write {path text} {
  set out [open $path w]
  puts -nonewline $out $text
  close $out
}

# The project file, byte for byte as xhlc_bench writes it.
proc projectText {count} {
  set t "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
  append t "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n\n"
  append t "  <header/>\n\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n\n  <files>\n"
  for {set i 0} {$i < $count} {incr i} {
    append t "    <file vel_kv:name=\"src/d[expr {$i / 100}]/unit_$i.vhd\" vel_kv:type=\"FILE_VHDL\">\n"
    append t "      <association vel_kv:name=\"BehavioralSimulation\"/>\n"
    append t "      <association vel_kv:name=\"Implementation\"/>\n"
    if {$i % 10 == 0} { append t "      <library vel_kv:name=\"lib[expr {$i % 7}]\"/>\n" }
    append t "    </file>\n"
  }
  append t "  </files>\n\n  <autoManagedFiles/>\n\n  <properties>\n"
  append t "    <property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta\" vel_kv:valueState=\"non-default\"/>\n"
  append t "  </properties>\n\n  <bindings/>\n\n  <libraries/>\n\n</project>\n"
  return $t
}

# The project file of header_design's `files` under `folder`, as the writer leaves it after the
# files were added one at a time in sorted order.
proc headerProjectText {folder files} {
  set t "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
  append t "<project xmlns=\"http://www.velmor.com/XMLSchema\" xmlns:vel_kv=\"http://www.velmor.com/XMLSchema\">\n\n"
  append t "  <header/>\n\n  <version vel_kv:hlc_version=\"14.1\" vel_kv:schema_version=\"2\"/>\n\n  <files>\n"
  foreach pair [lsort -index 0 $files] {
    lassign $pair path library
    set type [expr {[file extension $path] eq ".v" ? "FILE_VERILOG" : "FILE_VHDL"}]
    append t "    <file vel_kv:name=\"[string range $path [string length $folder]+1 end]\" vel_kv:type=\"$type\">\n"
    append t "      <association vel_kv:name=\"BehavioralSimulation\"/>\n"
    append t "      <association vel_kv:name=\"Implementation\"/>\n"
    if {$library ne "work"} { append t "      <library vel_kv:name=\"$library\"/>\n" }
    append t "    </file>\n"
  }
  append t "  </files>\n\n  <autoManagedFiles>\n"
  for {set b 0} {$b < 8} {incr b} {
    append t "    <file vel_kv:name=\"blk$b/blk${b}_defs.vh\" vel_kv:type=\"FILE_VERILOG\"/>\n"
  }
  append t "  </autoManagedFiles>\n\n  <properties>\n"
  append t "    <property vel_kv:name=\"Device Family\" vel_kv:value=\"Orvanta\" vel_kv:valueState=\"non-default\"/>\n"
  append t "  </properties>\n\n  <bindings/>\n\n  <libraries>\n"
  for {set k 0} {$k < 4} {incr k} { append t "    <library vel_kv:name=\"lib$k\"/>\n" }
  append t "  </libraries>\n\n</project>\n"
  return $t
}

# The sources, as edit_bench writes its tree.
proc writeSources {folder count} {
  for {set i 0} {$i < $count} {incr i} {
    set dir [file join $folder src d[expr {$i / 100}]]
    if {$i % 100 == 0} { file mkdir $dir }
    set t "library ieee;\nuse ieee.std_logic_1164.all;\n\nentity unit_$i is\n"
    append t "  port (clk : in std_logic; q : out std_logic);\nend entity;\n\narchitecture rtl of unit_$i is\nbegin\n"
    foreach child [list [expr {2 * $i + 1}] [expr {2 * $i + 2}]] {
      if {$child < $count} { append t "  u$child : entity work.unit_$child port map (clk => clk, q => open);\n" }
    }
    append t "  q <= clk;\nend architecture;\n"
    write [file join $dir unit_$i.vhd] $t
  }
}

proc ms {script} {
  set start [clock microseconds]
  uplevel 1 $script
  return [expr {([clock microseconds] - $start) / 1000.0}]
}

file delete -force $root
file mkdir $root
if {$kind eq "headers"} {
  set text [headerProjectText $root [header_design $root $count]]
} else {
  writeSources $root $count
  set text [projectText $count]
}
puts "files: $count"
for {set round 1} {$round <= $rounds} {incr round} {
  set file [file join $root p$round.xhlc]
  foreach stale [glob -nocomplain -directory $root p$round.* hdlparser.log] { file delete $stale }
  write $file $text
  set xmllint [ms {exec xmllint --format $file > /dev/null}]
  set open [ms {project open $file}]
  set save [ms {project save}]
  set order [ms {set files [llength [project order]]}]
  set top [project top]
  project close
  puts [format "round %d: open %.1f ms, first save %.1f ms, first order %.1f ms (%d files, top %s), xmllint %.1f ms, open+save %.2f x xmllint" \
            $round $open $save $order $files $top $xmllint [expr {($open + $save) / $xmllint}]]
}
if {$argc <= 2} { file delete -force $root }
