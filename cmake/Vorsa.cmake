# Helpers so that a new library or test is two lines.

set(VORSA_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)

# vorsa_add_library(<target> <alias> SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
function(vorsa_add_library target alias)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  add_library(${alias} ALIAS ${target})
  target_compile_options(${target} PRIVATE ${VORSA_WARNINGS})
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# vorsa_add_test(<name> SOURCES ... LIBS ... [WIDGETS] [TIMEOUT s] [LABELS ...])
# Every test runs with the offscreen platform and a temporary HOME, so that
# per-user settings of a test never touch the developer's own.
function(vorsa_add_test name)
  cmake_parse_arguments(ARG "WIDGETS" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(test_${name} ${ARG_SOURCES})
  target_compile_options(test_${name} PRIVATE ${VORSA_WARNINGS})
  target_link_libraries(test_${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  add_test(NAME ${name} COMMAND test_${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VORSA_BUILD_DIR=${CMAKE_BINARY_DIR};VORSA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    LABELS "${ARG_LABELS}")
endfunction()
