# dv_library(NAME SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# One static library per folder; headers are included as "platform/base/NSString.h".
function(dv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# dv_test(NAME SOURCES ... LIBS ...): one GoogleTest binary per folder.
function(dv_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${name})
endfunction()

# dv_fuzzer(NAME SOURCE LIBS ...): a libFuzzer target. Every target joins dv_fuzz_targets, which
# builds them all (and only what they need); its committed seed corpus is fuzz/corpus/NAME.
function(dv_fuzzer name source)
  add_executable(${name} ${source})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARGN})
  if(NOT TARGET dv_fuzz_targets)
    add_custom_target(dv_fuzz_targets)
  endif()
  add_dependencies(dv_fuzz_targets ${name})
endfunction()

# dv_bench(NAME SOURCES ... LIBS ...): a Google Benchmark binary.
function(dv_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
