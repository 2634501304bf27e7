# The .reg reader and writer belong to the tool.
target_link_libraries(${name} PRIVATE korvex_regfile)
