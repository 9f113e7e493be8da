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

# dv_executables(OUT DIR): every executable target defined in DIR and the folders below it.
function(dv_executables out dir)
  set(found "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    dv_executables(below ${sub})
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# dv_link_sanitizer_defaults(): in a sanitizer build, links the checked-in suppressions of
# cmake/sanitizers/ into every executable of the tree (tests, fuzz targets, tools), whichever
# folder made it. Called once, after every folder has been added.
function(dv_link_sanitizer_defaults)
  set(dir ${PROJECT_SOURCE_DIR}/cmake/sanitizers)
  file(READ ${dir}/lsan.supp DV_LSAN_SUPPRESSIONS)
  file(READ ${dir}/tsan.supp DV_TSAN_SUPPRESSIONS)
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${dir}/lsan.supp ${dir}/tsan.supp)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/SanitizerDefaults.cpp.in ${PROJECT_BINARY_DIR}/SanitizerDefaults.cpp @ONLY)
  add_library(dv_sanitizer_defaults OBJECT ${PROJECT_BINARY_DIR}/SanitizerDefaults.cpp)
  dv_executables(executables ${PROJECT_SOURCE_DIR})
  foreach(target IN LISTS executables)
    set_property(TARGET ${target} APPEND PROPERTY LINK_LIBRARIES dv_sanitizer_defaults)
  endforeach()
endfunction()
