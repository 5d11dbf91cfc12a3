# Fails when an interface of the public headers declares an id that the id table of the tests
# does not pin, so that a new interface cannot carry a wrong id unseen.
#   cmake -DROOT=<source folder> -DTABLE=<test source with the PIN rows> -P scripts/check_interface_ids.cmake
if(NOT ROOT OR NOT TABLE)
  message(FATAL_ERROR "check_interface_ids: ROOT and TABLE are required")
endif()
file(READ "${TABLE}" table)

file(GLOB_RECURSE headers "${ROOT}/include/*.h" "${ROOT}/platform/*/include/*.h")
set(declared 0)
set(missing 0)
foreach(header IN LISTS headers)
  file(STRINGS "${header}" lines)
  set(class "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*(class|struct)[ \t]+([A-Za-z_][A-Za-z0-9_]*)[^;]*$")
      set(class "${CMAKE_MATCH_2}")
    endif()
    # An id declared through the macro, or written out as the two halves; not the macros' own
    # definitions, whose continued lines come joined.
    if(line MATCHES "^[ \t]*#[ \t]*define" OR NOT (line MATCHES "CITI_DECLARE_IID\\(\"" OR line MATCHES "GetIID\\(\\) {"))
      continue()
    endif()
    math(EXPR declared "${declared} + 1")
    string(FIND "${table}" "::${class}, \"" at)
    if(class STREQUAL "" OR at EQUAL -1)
      file(RELATIVE_PATH shown "${ROOT}" "${header}")
      message(SEND_ERROR "${shown}: the id of ${class} is not pinned in ${TABLE}")
      math(EXPR missing "${missing} + 1")
    endif()
  endforeach()
endforeach()

if(missing GREATER 0)
  message(FATAL_ERROR "check_interface_ids: ${missing} of ${declared} interface ids are not pinned")
endif()
message(STATUS "check_interface_ids: all ${declared} interface ids of the public headers are pinned")
