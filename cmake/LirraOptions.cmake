# Per-target options: warnings are errors on our own code only, never on third-party headers.
function(lirra_target_options target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
