# Warnings for every target of the project.
function(zu_zozov_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZU_ZOZOV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
