# Warnings and Qt strictness for every target of the project, set per target.
function(quartzel_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Woverloaded-virtual -Wimplicit-fallthrough)
  if(QUARTZEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  target_compile_definitions(${target} PRIVATE
    QT_NO_FOREACH QT_NO_JAVA_STYLE_ITERATORS QT_NO_URL_CAST_FROM_STRING)
endfunction()
