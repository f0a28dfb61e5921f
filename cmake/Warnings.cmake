# Our own targets build with these warnings and none may appear.
function(korsi_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
