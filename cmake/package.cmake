# Debian packages (make package): libkorvex3 (the shared library), libkorvex-dev
# (headers, CMake package, pkg-config file) and korvex-tools (the tool and its
# man page), with shlibdeps and a symbols file.
set(KORVEX_DEB_RELEASE 1)
set(KORVEX_DEB_VERSION ${PROJECT_VERSION}-${KORVEX_DEB_RELEASE})
set(KORVEX_MAINTAINER "korvex developers <korvex-dev@lists.korvex.org>")
set(KORVEX_DEB_DIR ${CMAKE_BINARY_DIR}/debian)

# Every package carries the copyright and a changelog in its documentation folder.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${KORVEX_DEB_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${KORVEX_DEB_DIR}/changelog.Debian.gz
  COMMAND gzip -9nf -k ${KORVEX_DEB_DIR}/changelog.Debian
  DEPENDS ${KORVEX_DEB_DIR}/changelog.Debian)
add_custom_target(korvex_deb_changelog ALL DEPENDS ${KORVEX_DEB_DIR}/changelog.Debian.gz)
foreach(component_package runtime:libkorvex3 dev:libkorvex-dev tools:korvex-tools doc:libkorvex-doc)
  string(REPLACE ":" ";" pair ${component_package})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${KORVEX_DEB_DIR}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

# The symbols file, from the library as built.
add_custom_command(TARGET korvex POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DLIBRARY=$<TARGET_FILE:korvex> -DPACKAGE=libkorvex3 -DDEV_PACKAGE=libkorvex-dev -DVERSION=${PROJECT_VERSION}
    -DOUTPUT=${KORVEX_DEB_DIR}/symbols -P ${CMAKE_CURRENT_LIST_DIR}/debian-symbols.cmake
  VERBATIM)
file(WRITE ${KORVEX_DEB_DIR}/triggers "activate-noawait ldconfig\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KORVEX_MAINTAINER}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev tools doc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KORVEX_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tool's libkorvex.so.3 comes from another of these packages: dpkg-shlibdeps
# finds it in the build folder (its dependency is written out below).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libkorvex3)
# CPack writes no Multi-Arch field of its own; the library installs into the
# multiarch folder, so copies for several architectures can be installed
# together. The field rides on the Source line.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SOURCE "korvex\nMulti-Arch: same")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${KORVEX_DEB_DIR}/symbols;${KORVEX_DEB_DIR}/triggers")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "shared utility library of the desktop networking products
Byte buffers and Base64, an 8-bit string class, formatting and tokenizing,
an INI file model, path and file helpers, a URL record with parser and
writer, and on Linux the small Win32 subset (registry on SQLite, profile
files, files and folders, text conversion) that the products run on.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libkorvex-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libkorvex3 (= ${KORVEX_DEB_VERSION})")
set(CPACK_DEBIAN_DEV_DESCRIPTION "development files of the korvex library
Headers, the CMake package (find_package(korvex)) and the pkg-config file
(korvex.pc) for building programs against libkorvex.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME korvex-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
# The tool calls the library's private symbol set (KORVEX_PRIVATE), which
# changes with any release: both come from one version.
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libkorvex3 (= ${KORVEX_DEB_VERSION})")
# --- tools prerm: root's desktop registrations leave with the tool.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/korvex-tools.prerm ${KORVEX_DEB_DIR}/tools/prerm COPYONLY)
set(CPACK_DEBIAN_TOOLS_PACKAGE_CONTROL_EXTRA ${KORVEX_DEB_DIR}/tools/prerm)
# --- end tools prerm
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "command-line tool of the korvex library
korvex reads and changes the registry of the products (also as .reg files
of the Windows registry editor), parses and writes URLs, reads and writes
INI files, and encodes and decodes Base64.")

set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-drop-ldconfig.cmake)

# --- libkorvex-doc, the examples and the debug symbols ---------------------
# The reference, built by scripts/docs (which fails on an undocumented public
# declaration), in libkorvex-doc; the examples in libkorvex-dev, where Debian's
# library packages keep theirs; and the debug symbols of the library and the
# tool in -dbgsym packages beside the others.
file(GLOB_RECURSE KORVEX_DOC_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/include/*.h ${CMAKE_SOURCE_DIR}/docs/*)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/docs/html/index.html
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/docs ${CMAKE_BINARY_DIR}/docs
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/docs ${KORVEX_DOC_SOURCES}
  VERBATIM)
add_custom_target(korvex_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/docs/html/index.html)
install(DIRECTORY ${CMAKE_BINARY_DIR}/docs/html DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libkorvex-doc COMPONENT doc)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/libkorvex-doc.doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base
  RENAME libkorvex-doc COMPONENT doc)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libkorvex-dev/examples COMPONENT dev)

set(CPACK_DEBIAN_DOC_PACKAGE_NAME libkorvex-doc)
set(CPACK_DEBIAN_DOC_PACKAGE_SECTION doc)
set(CPACK_DEBIAN_DOC_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_DOC_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DOC_DESCRIPTION "reference of the korvex library
The HTML reference of libkorvex: every class, function and Win32 name of the
public headers by family, the Linux layer and its differences from Windows,
and the guide to porting a Windows product to Linux.")
# CPack splits the symbols off unstripped binaries and strips them itself.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
list(APPEND CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian-dbgsym.cmake)
# --- end of libkorvex-doc, the examples and the debug symbols ---------------

include(CPack)
