# Fails when an include reaches up the floors of the product, so that the layers hold without
# anyone watching. The floors of src/, lowest first, come in FLOORS; a file of one floor may
# include its own floor and those below it. The kit (kit/) and the platform stand-ins
# (platform/) are below every floor and include none.
#   cmake -DROOT=<source folder> "-DFLOORS=utils;framework;..." -P scripts/check_layers.cmake
if(NOT ROOT OR NOT FLOORS)
  message(FATAL_ERROR "check_layers: ROOT and FLOORS are required")
endif()
list(JOIN FLOORS "|" alternatives)
set(include_regex "^[ \t]*#[ \t]*include[ \t]*\"(${alternatives})/")

set(violations 0)
# Checks every include of `file`, which lies on floor number `level` (-1: below all floors).
function(check_file file level)
  file(STRINGS "${file}" lines REGEX "${include_regex}")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "${include_regex}" ignored "${line}")
    list(FIND FLOORS "${CMAKE_MATCH_1}" target)
    if(target GREATER level)
      file(RELATIVE_PATH shown "${ROOT}" "${file}")
      message(SEND_ERROR "${shown}: \"${CMAKE_MATCH_1}/\" lies above this file's floor: ${line}")
      math(EXPR violations "${violations} + 1")
      set(violations ${violations} PARENT_SCOPE)
    endif()
  endforeach()
endfunction()

set(index 0)
foreach(floor IN LISTS FLOORS)
  file(GLOB_RECURSE files "${ROOT}/src/${floor}/*.h" "${ROOT}/src/${floor}/*.cpp")
  foreach(file IN LISTS files)
    check_file("${file}" ${index})
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()
file(GLOB_RECURSE below "${ROOT}/kit/*.h" "${ROOT}/kit/*.cpp" "${ROOT}/platform/*.h" "${ROOT}/platform/*.cpp")
foreach(file IN LISTS below)
  check_file("${file}" -1)
endforeach()

if(violations GREATER 0)
  message(FATAL_ERROR "check_layers: ${violations} include(s) reach up the floors (${alternatives}, lowest first)")
endif()
message(STATUS "check_layers: every include stays on its floor or below (${alternatives}, lowest first)")
