# Helpers that let each folder declare its tests and fuzzers in one line, and that gather them into
# the aggregate targets the sanitizer builds use (`all_tests`, `threaded_tests`, `all_fuzzers`), so
# those builds compile only what their tests need.

set(VELLUMINE_SRC ${CMAKE_SOURCE_DIR}/src)
# Libraries include from VELLUMINE_SRC as $<BUILD_INTERFACE:...>, so that an installed library
# points at the installed headers instead (cmake/VellumineInstall.cmake).

# vellumine_add_test(<name> SOURCES ... LIBS ... [THREADED] [TIMEOUT seconds])
function(vellumine_add_test name)
  cmake_parse_arguments(T "THREADED" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    VELLUMINE_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VELLUMINE_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  set_property(GLOBAL APPEND PROPERTY VELLUMINE_TESTS ${name})
  if(T_THREADED)
    set_tests_properties(${name} PROPERTIES LABELS threaded)
    set_property(GLOBAL APPEND PROPERTY VELLUMINE_THREADED_TESTS ${name})
  endif()
endfunction()

# vellumine_add_fuzzer(<name> SOURCES ... LIBS ... CORPUS <dir> [SECONDS n])
function(vellumine_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  if(NOT F_SECONDS)
    set(F_SECONDS 5)
  endif()
  set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
      LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp
      sh -c "mkdir -p '${work}' && exec \"$0\" -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 '${work}' '${F_CORPUS}'"
      $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 120)
  set_property(GLOBAL APPEND PROPERTY VELLUMINE_FUZZERS ${name})
endfunction()

function(vellumine_finish_test_targets)
  get_property(tests GLOBAL PROPERTY VELLUMINE_TESTS)
  get_property(threaded GLOBAL PROPERTY VELLUMINE_THREADED_TESTS)
  get_property(fuzzers GLOBAL PROPERTY VELLUMINE_FUZZERS)
  add_custom_target(all_tests)
  add_custom_target(threaded_tests)
  add_custom_target(all_fuzzers)
  if(tests)
    add_dependencies(all_tests ${tests})
  endif()
  if(threaded)
    add_dependencies(threaded_tests ${threaded})
  endif()
  if(fuzzers)
    add_dependencies(all_fuzzers ${fuzzers})
  endif()
endfunction()

# Adds each listed sub-folder; one without a CMakeLists.txt is a configure error, so a folder
# named here but missing (or misspelt) is never skipped in silence.
function(vellumine_add_subdirs)
  foreach(dir ${ARGN})
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir} has no CMakeLists.txt")
    endif()
    add_subdirectory(${dir})
  endforeach()
endfunction()
