include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Components: runtime (the shared library), dev (everything to build against it).
install(TARGETS korvex EXPORT korvexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(DIRECTORY include/korvex DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT korvexTargets NAMESPACE korvex:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvex COMPONENT dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/korvexConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/korvexConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvex)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/korvexConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/korvexConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/korvexConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/korvex COMPONENT dev)

# Folders as installed, the prefix written out: pkg-config and its users see
# plain paths (Debian's multiarch libdir included).
configure_file(${CMAKE_CURRENT_LIST_DIR}/korvex.pc.in ${CMAKE_CURRENT_BINARY_DIR}/korvex.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/korvex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
