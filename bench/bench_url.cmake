# The anchor: libcurl's URL API.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
target_link_libraries(bench_url PRIVATE PkgConfig::CURL)
