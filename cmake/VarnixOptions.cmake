# Compiler settings shared by every target of the project.
#
# varnix_library_options(target): the runtime itself; no exceptions, no RTTI,
# warnings are errors.
# varnix_program_options(target): tools, simulators, tests; the standard
# library may be used freely there, warnings are still errors.
# varnix_program_with_body(program main body SOURCES...): a tool or simulator
# whose body is a small static library of its own, so that tests and
# benchmarks link the same code that the program runs.

set(VARNIX_WARNINGS -Wall -Wextra -Wshadow -Werror)

function(varnix_library_options target)
  target_compile_options(${target} PRIVATE ${VARNIX_WARNINGS}
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()

function(varnix_program_options target)
  target_compile_options(${target} PRIVATE ${VARNIX_WARNINGS})
endfunction()

function(varnix_program_with_body program main body)
  add_library(${body} STATIC ${ARGN})
  target_include_directories(${body} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${body} PUBLIC varnix)
  varnix_program_options(${body})
  add_executable(${program} ${main})
  target_link_libraries(${program} PRIVATE ${body})
  varnix_program_options(${program})
endfunction()
