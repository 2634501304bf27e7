# The Base64 engine itself, whose kernels the library does not export.
target_link_libraries(${name} PRIVATE korvex_base64)
