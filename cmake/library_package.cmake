# Installs the shared library and what other programs build with: the link name, a pkg-config
# file (ld952.pc) and a CMake package (find_package(ld952) gives ld952::ld952, the shared
# library, and ld952::static, the archive). The shared library is the component "library"
# (the package libld952-0); the rest, with the header and the archive, "dev" (libld952-dev).
# Included from the top folder where the shared library is built.
include(CMakePackageConfigHelpers)
set(KUF_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ld952)

install(TARGETS ld952_shared EXPORT ld952
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ld952 NAMESPACE ld952:: FILE ld952Targets.cmake DESTINATION ${KUF_CMAKE_DIR}
  COMPONENT dev)

set(KUF_ARCHIVE ${CMAKE_INSTALL_LIBDIR}/${CMAKE_STATIC_LIBRARY_PREFIX}ld952${CMAKE_STATIC_LIBRARY_SUFFIX})
configure_package_config_file(cmake/ld952Config.cmake.in ${CMAKE_BINARY_DIR}/ld952Config.cmake
  INSTALL_DESTINATION ${KUF_CMAKE_DIR} PATH_VARS KUF_ARCHIVE CMAKE_INSTALL_INCLUDEDIR)
# find_package(ld952 0.92) takes a later 0.x too, as the SONAME libld952.so.0 does.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ld952ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ld952Config.cmake ${CMAKE_BINARY_DIR}/ld952ConfigVersion.cmake
  DESTINATION ${KUF_CMAKE_DIR} COMPONENT dev)

# The pkg-config file names the folders it is installed under, so it is written when it is
# installed: `cmake --install --prefix` and the packages give their own prefix.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(KUF_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(KUF_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
set(KUF_PC ${CMAKE_BINARY_DIR}/pkgconfig/ld952.pc)
install(CODE "
  set(PROJECT_VERSION [[${PROJECT_VERSION}]])
  set(KUF_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  set(KUF_PC_LIBDIR [[${KUF_PC_LIBDIR}]])
  set(KUF_PC_INCLUDEDIR [[${KUF_PC_INCLUDEDIR}]])
  configure_file([[${PROJECT_SOURCE_DIR}/cmake/ld952.pc.in]] [[${KUF_PC}]] @ONLY)"
  COMPONENT dev)
install(FILES ${KUF_PC} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# Every Debian package has its copyright file.
install(FILES doc/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libld952-${PROJECT_VERSION_MAJOR}
  COMPONENT library)
install(FILES doc/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/libld952-dev
  COMPONENT dev)
