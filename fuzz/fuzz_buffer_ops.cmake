# FuzzedDataProvider is clang's header: the replay build with another compiler
# takes it from clang's runtime package alone, not its whole include folder,
# whose stddef.h and the like are clang's own.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  file(GLOB provider /usr/lib/llvm-*/lib/clang/*/include/fuzzer/FuzzedDataProvider.h)
  if(NOT provider)
    message(FATAL_ERROR "fuzzer/FuzzedDataProvider.h not found: scripts/deps.sh installs libclang-rt-dev")
  endif()
  list(GET provider 0 provider)
  configure_file(${provider} ${CMAKE_CURRENT_BINARY_DIR}/fuzz_include/fuzzer/FuzzedDataProvider.h COPYONLY)
  target_include_directories(${name} SYSTEM PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/fuzz_include)
endif()
