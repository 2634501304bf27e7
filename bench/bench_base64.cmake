# Anchor: OpenSSL's block encoder and decoder.
pkg_check_modules(BENCH_OPENSSL REQUIRED IMPORTED_TARGET libcrypto)
target_link_libraries(${name} PRIVATE PkgConfig::BENCH_OPENSSL)
