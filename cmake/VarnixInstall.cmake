# cmake --install: the library (static, or shared with BUILD_SHARED_LIBS),
# its headers under include/varnix/, the programs, a CMake package
# (find_package(Varnix) -> Varnix::varnix) and varnix.pc. CPack turns the
# same into a .deb for the architecture being built.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VARNIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Varnix)

install(TARGETS varnix EXPORT VarnixTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Every header of sdk/ with its folder, except those only the library's own
# sources include.
install(DIRECTORY sdk/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/varnix
  FILES_MATCHING PATTERN "*.h" PATTERN "*.inc"
  PATTERN "decimal_scan.h" EXCLUDE
  PATTERN "call_proxy.h" EXCLUDE)

# The tools and the simulators, those that this tree has.
foreach(program varnix-position varnix-call varnix-gpssim varnix-navsim varnix-launcherd)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(EXPORT VarnixTargets NAMESPACE Varnix:: DESTINATION ${VARNIX_CMAKE_DIR})
configure_package_config_file(cmake/VarnixConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/VarnixConfig.cmake
  INSTALL_DESTINATION ${VARNIX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VarnixConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VarnixConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/VarnixConfigVersion.cmake
  DESTINATION ${VARNIX_CMAKE_DIR})

# varnix.pc finds the prefix from its own place, so the tree can be moved.
file(RELATIVE_PATH VARNIX_PC_PREFIX_FROM_PCDIR
  /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" VARNIX_PC_PREFIX_FROM_PCDIR "${VARNIX_PC_PREFIX_FROM_PCDIR}")
configure_file(cmake/varnix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/varnix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/varnix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The packages: cpack -G DEB in a build directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnix)
set(CPACK_PACKAGE_VENDOR "Varnix project")
set(CPACK_PACKAGE_CONTACT "Varnix project <varnix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Client runtime of the Varnix navigation device, its tools and simulators")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6")
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "arm")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
endif()
include(CPack)
