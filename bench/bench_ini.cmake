# The anchor: libinih reading the same file into a hash map.
pkg_check_modules(INIH REQUIRED IMPORTED_TARGET inih)
target_link_libraries(bench_ini PRIVATE PkgConfig::INIH)
