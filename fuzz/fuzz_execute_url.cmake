# The program's own ShellExecuteA takes the library's place: exported from the
# program, it wins the library's call to the name when the dynamic linker binds.
target_link_options(${name} PRIVATE -Wl,--export-dynamic-symbol=ShellExecuteA)
