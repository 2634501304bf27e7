# Debian's packages carry no compiler identification (.comment); CPack's
# debug-symbol split strips only what it moves, so it goes as each packaged
# binary is linked.
function(korvex_drop_compiler_comment target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}>)
endfunction()
