# Compiler settings shared by every target of the project.
#
# varnix_library_options(target): the runtime itself; no exceptions, no RTTI,
# warnings are errors.
# varnix_program_options(target): tools, simulators, tests; the standard
# library may be used freely there, warnings are still errors.

set(VARNIX_WARNINGS -Wall -Wextra -Wshadow -Werror)

function(varnix_library_options target)
  target_compile_options(${target} PRIVATE ${VARNIX_WARNINGS}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()

function(varnix_program_options target)
  target_compile_options(${target} PRIVATE ${VARNIX_WARNINGS})
endfunction()
