# Builds EXAMPLE out of tree against the runtime installed in PREFIX, with
# find_package (MODE find_package) or pkg-config (MODE pkg-config), then runs
# it on a temporary device root holding one map.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

if(MODE STREQUAL "find_package")
  set(configure "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK}/build" -G "${GENERATOR}"
    "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
    "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
    "-DVARNIX_EXAMPLE=${EXAMPLE}")
  if(TOOLCHAIN)
    # A cross build finds packages only below its target root; the prefix
    # is named directly.
    list(APPEND configure "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" "-DVarnix_DIR=${PREFIX}/${LIBDIR}/cmake/Varnix")
  else()
    list(APPEND configure "-DCMAKE_PREFIX_PATH=${PREFIX}")
  endif()
  run("configuring with find_package" ${configure})
  run("building with find_package" "${CMAKE_COMMAND}" --build "${WORK}/build")
  set(program "${WORK}/build/example-app")
elseif(MODE STREQUAL "pkg-config")
  find_program(PKG_CONFIG pkg-config REQUIRED)
  set(pkg "${CMAKE_COMMAND}" -E env "PKG_CONFIG_LIBDIR=${PREFIX}/${LIBDIR}/pkgconfig" "${PKG_CONFIG}")
  run("pkg-config --modversion" ${pkg} --modversion varnix)
  run("pkg-config --cflags" ${pkg} --cflags varnix)
  separate_arguments(cflags UNIX_COMMAND "${output}")
  run("pkg-config --libs" ${pkg} --libs varnix)
  separate_arguments(libs UNIX_COMMAND "${output}")
  set(program "${WORK}/example-app")
  # Compiled and linked apart, as a build system would: the link flags must
  # not change how the source is compiled.
  run("compiling with pkg-config" "${CXX}" ${cxx_flags} ${cflags} -c "${EXAMPLE}" -o "${WORK}/example.o")
  run("linking with pkg-config" "${CXX}" ${cxx_flags} ${link_flags} "${WORK}/example.o" ${libs} -o "${program}")
else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()

# The example makes the map on the card current and reads it back.
file(MAKE_DIRECTORY "${WORK}/root/mnt/sdcard/Europe")
file(TOUCH "${WORK}/root/mnt/sdcard/Europe/MAPINFO.DAT")
set(ENV{VARNIX_ROOT} "${WORK}/root")
set(ENV{LD_LIBRARY_PATH} "${PREFIX}/${LIBDIR}")
run("running the example" ${emulator} "${program}")
if(NOT output MATCHES "Current map now: Europe")
  message(FATAL_ERROR "unexpected output:\n${output}")
endif()
message(STATUS "${output}")
