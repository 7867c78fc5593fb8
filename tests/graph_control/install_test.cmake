# Installs the Vellum32 package of the current build into a folder of the build tree,
# then configures, builds and runs a host project against the installed package only.
# Variables: BUILD_DIR, HOST_SOURCE, WORK_DIR, GENERATOR, CXX_COMPILER, HOST_CXX_FLAGS.
set(prefix "${WORK_DIR}/prefix")
set(host_build "${WORK_DIR}/host")
file(REMOVE_RECURSE "${prefix}")

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "command failed (${rc}): ${ARGV}\n${out}\n${err}")
  endif()
endfunction()

run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --component Vellum32 --prefix "${prefix}")
foreach(f include/vellum32/vellum32.h include/vellum32/property_store.h)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

run("${CMAKE_COMMAND}" -S "${HOST_SOURCE}" -B "${host_build}" -G "${GENERATOR}"
    "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "-DCMAKE_PREFIX_PATH=${prefix}"
    "-DEXPECTED_PREFIX=${prefix}"
    "-DCMAKE_BUILD_TYPE=Release"
    "-DCMAKE_CXX_FLAGS=${HOST_CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${HOST_CXX_FLAGS}")
run("${CMAKE_COMMAND}" --build "${host_build}")
run("${host_build}/vellum32_host")
message(STATUS "host project built and ran against ${prefix}")
