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
# Every test runs with the offscreen platform and a HOME of its own under the
# build folder, so that per-user settings of a test never touch the developer's
# own nor those of another test running at the same time.
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
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${CMAKE_BINARY_DIR}/testhome/${name};XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/testhome/${name}/.config;VORSA_BUILD_DIR=${CMAKE_BINARY_DIR};VORSA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    LABELS "${ARG_LABELS}")
endfunction()

# vorsa_add_fuzzer(<target> TEST <test name> CORPUS <folder> SOURCES <files> [INCLUDES <dirs>])
# A libFuzzer target for a plain parser, compiled by clang++ directly (the main
# build may use g++) and linked against the same Qt Core, and a test labelled
# "fuzz" that runs it for a few seconds from the corpus folder (only read; new
# inputs go to the build tree). Without clang++ neither is made.
function(vorsa_add_fuzzer target)
  cmake_parse_arguments(ARG "" "TEST;CORPUS" "SOURCES;INCLUDES" ${ARGN})
  find_program(VORSA_CLANGXX NAMES clang++ clang++-16 clang++-15 clang++-14)
  if(NOT VORSA_CLANGXX)
    message(STATUS "clang++ not found: ${target} is not built")
    return()
  endif()
  set(exe ${CMAKE_CURRENT_BINARY_DIR}/${target}.fuzz)
  set(qt_includes "$<TARGET_PROPERTY:Qt6::Core,INTERFACE_INCLUDE_DIRECTORIES>")
  set(includes)
  foreach(dir IN LISTS ARG_INCLUDES)
    list(APPEND includes -I${dir})
  endforeach()
  add_custom_command(
    OUTPUT ${exe}
    COMMAND ${VORSA_CLANGXX} -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=undefined -DQT_NO_DEBUG "-I$<JOIN:${qt_includes},;-I>"
            ${includes} ${ARG_SOURCES} $<TARGET_FILE:Qt6::Core> -o ${exe}
    DEPENDS ${ARG_SOURCES}
    COMMAND_EXPAND_LISTS
    COMMENT "Building fuzzer ${target} with clang"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${exe})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${target}_corpus)
  add_test(NAME ${ARG_TEST}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            sh -c "mkdir -p '${work}' && '${exe}' -max_total_time=4 -max_len=2048 -timeout=5 '${work}' '${ARG_CORPUS}'")
  set_tests_properties(${ARG_TEST} PROPERTIES TIMEOUT 60 LABELS fuzz)
endfunction()

# vorsa_install_configured(<template> <file name> DESTINATION <dir> COMPONENT <component>
#                          [VARIABLES NAME=path ...])
# Installs a file made from a template (@NAME@ replaced) when it is installed,
# not when the build is configured: each relative path given in VARIABLES is
# taken relative to the prefix the files are installed under, which a package
# may set apart from the build's own (CMAKE_INSTALL_PREFIX at install time); an
# absolute path stays as it is. A relative DESTINATION is relative to that
# prefix as well.
function(vorsa_install_configured template name)
  cmake_parse_arguments(ARG "" "DESTINATION;COMPONENT" "VARIABLES" ${ARGN})
  set(code "")
  foreach(pair IN LISTS ARG_VARIABLES)
    if(NOT pair MATCHES "^([A-Za-z_][A-Za-z0-9_]*)=(.*)$")
      message(FATAL_ERROR "vorsa_install_configured: NAME=path expected, got ${pair}")
    endif()
    if(IS_ABSOLUTE "${CMAKE_MATCH_2}")
      string(APPEND code "set(${CMAKE_MATCH_1} \"${CMAKE_MATCH_2}\")\n")
    else()
      string(APPEND code "set(${CMAKE_MATCH_1} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_MATCH_2}\")\n")
    endif()
  endforeach()
  if(IS_ABSOLUTE "${ARG_DESTINATION}")
    set(destination "${ARG_DESTINATION}")
  else()
    set(destination "\${CMAKE_INSTALL_PREFIX}/${ARG_DESTINATION}")
  endif()
  set(out "${CMAKE_CURRENT_BINARY_DIR}/install-time/${name}")
  install(CODE "block()
${code}configure_file(\"${template}\" \"${out}\" @ONLY)
file(INSTALL DESTINATION \"${destination}\" TYPE FILE FILES \"${out}\")
endblock()"
    COMPONENT ${ARG_COMPONENT})
endfunction()
