# The anchors: dconf reading a compiled database, and a bare SQLite table.
pkg_check_modules(DCONF REQUIRED IMPORTED_TARGET dconf)
target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/dconf_anchor.cpp)
target_link_libraries(${name} PRIVATE PkgConfig::DCONF PkgConfig::SQLITE3)
