# The program both ways start, reporting when its main began.
add_executable(launch_child ${CMAKE_CURRENT_SOURCE_DIR}/launch_child.c)
add_dependencies(${name} launch_child)
target_compile_definitions(${name} PRIVATE LAUNCH_CHILD="$<TARGET_FILE:launch_child>")
