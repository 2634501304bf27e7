# The parser alone, measured without the file system.
target_sources(bench_profile PRIVATE ${PROJECT_SOURCE_DIR}/platform/posix/profile/text.cpp)
