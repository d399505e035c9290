# Installs the build tree into PREFIX (emptied first) and checks that the
# parts an application needs are there.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BINARY_DIR}" --prefix "${PREFIX}"
  OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(part
    include/varnix/varnix.h
    include/varnix/base/dyn_string.h
    include/varnix/base/os_calls.inc
    include/varnix/messaging/endpoint.h
    include/varnix/messaging/navigator_calls.h
    include/varnix/messaging/navigator_calls.inc
    include/varnix/process/instance_registry.h
    include/varnix/storage/file_manager.h
    include/varnix/device/system_status.h
    ${LIBDIR}/cmake/Varnix/VarnixConfig.cmake
    ${LIBDIR}/cmake/Varnix/VarnixConfigVersion.cmake
    ${LIBDIR}/cmake/Varnix/VarnixTargets.cmake
    ${LIBDIR}/pkgconfig/varnix.pc
    bin/varnix-position
    bin/varnix-call
    bin/varnix-navsim
    bin/varnix-gpssim
    bin/varnix-launcherd)
  if(NOT EXISTS "${PREFIX}/${part}")
    message(FATAL_ERROR "not installed: ${part}")
  endif()
endforeach()
file(GLOB library "${PREFIX}/${LIBDIR}/libvarnix.a" "${PREFIX}/${LIBDIR}/libvarnix.so")
if(NOT library)
  message(FATAL_ERROR "the library is not installed in ${LIBDIR}")
endif()
# Only what the library's own sources include stays behind.
foreach(private device/decimal_scan.h messaging/call_proxy.h)
  if(EXISTS "${PREFIX}/include/varnix/${private}")
    message(FATAL_ERROR "a private header was installed: ${private}")
  endif()
endforeach()
