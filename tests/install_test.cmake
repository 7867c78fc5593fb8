# Installs the whole build into a folder of the build tree, moves that prefix elsewhere and
# runs the installed programs from there with an empty environment: they must find their
# libraries through their own run paths, none of which may name the build or source tree.
# Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, SANITIZED.
set(prefix "${WORK_DIR}/prefix")
set(moved "${WORK_DIR}/moved")
file(REMOVE_RECURSE "${WORK_DIR}")

function(run out_var)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

run(ignored "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}")
file(RENAME "${prefix}" "${moved}")

if(NOT EXISTS "${moved}/include/geo_oppi/geo_oppi.h")
  message(FATAL_ERROR "not installed: include/geo_oppi/geo_oppi.h")
endif()
file(GLOB_RECURSE installed LIST_DIRECTORIES false "${moved}/bin/*" "${moved}/lib/*.so*")
foreach(f IN LISTS installed)
  if(IS_SYMLINK "${f}")
    continue()
  endif()
  run(dynamic readelf -d "${f}")
  foreach(tree "${BUILD_DIR}" "${SOURCE_DIR}")
    string(FIND "${dynamic}" "${tree}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${f} names ${tree} in its dynamic section:\n${dynamic}")
    endif()
  endforeach()
endforeach()

run(help env -i "${moved}/bin/corvane-batch" --help)
if(NOT help MATCHES "usage: corvane-batch")
  message(FATAL_ERROR "corvane-batch --help printed:\n${help}")
endif()

# A database export loads the installed GX library by name. Under AddressSanitizer dlopen
# is called from the sanitizer's runtime, whose run path is not the program's, so the
# sanitized build checks the programs start but exports nothing.
if(NOT SANITIZED)
  file(GLOB samples "${SOURCE_DIR}/samples/*.dat")
  run(ignored env -i "${moved}/bin/corvane-batch" --date-order mdy --oasis "${WORK_DIR}/day.gdb"
      --base-field 57500 ${samples})
  run(dump env -i "${moved}/bin/oasis-dump" "${WORK_DIR}/day.gdb")
  if(NOT dump MATCHES "mag")
    message(FATAL_ERROR "oasis-dump printed:\n${dump}")
  endif()
else()
  execute_process(COMMAND env -i "${moved}/bin/oasis-dump" RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 2 OR NOT err MATCHES "usage: oasis-dump")
    message(FATAL_ERROR "oasis-dump without a database: exit ${rc}\n${err}")
  endif()
endif()
message(STATUS "installed programs ran from ${moved}")
