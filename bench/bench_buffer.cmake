# Anchor: libevent's evbuffer.
pkg_check_modules(BENCH_LIBEVENT REQUIRED IMPORTED_TARGET libevent_core)
target_link_libraries(${name} PRIVATE PkgConfig::BENCH_LIBEVENT)
