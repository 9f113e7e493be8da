# Precompiled headers: cmake/Precompiled.h for the libraries, cmake/PrecompiledTest.h for the test
# binaries, each built once per tree by a host target of its own and reused by every dv_library and
# dv_test. A host is compiled exactly as the targets that reuse it (position-independent code for
# libraries, executables for tests), which the compiler requires of a precompiled header. When the
# compiler finds one unusable it says so and reads the headers as text, so the build never depends
# on them. DV_PRECOMPILED_HEADERS=OFF switches them off.
option(DV_PRECOMPILED_HEADERS "Precompile the common headers" ON)
if(DV_PRECOMPILED_HEADERS AND CMAKE_CXX_COMPILER_LAUNCHER)
  # The compiler cache caches compilations that use a precompiled header only when told to.
  set(CMAKE_CXX_COMPILER_LAUNCHER env CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
if(DV_PRECOMPILED_HEADERS)
  # A precompiled header is only used where the macros it depends on are the same. Every file is
  # compiled for threads, as the graphics libraries ask for it, so that they can use it too.
  add_compile_options(-pthread $<$<COMPILE_LANG_AND_ID:CXX,GNU>:-Wno-error=invalid-pch>)
  # GCC reports some of its late bounds warnings from inside the standard headers when they come
  # from a precompiled header, where the same code read as text reports nothing.
  add_compile_options("$<$<COMPILE_LANG_AND_ID:CXX,GNU>:-Wno-array-bounds;-Wno-stringop-overflow>")
  # A clang precompiled header without a time stamp, so that the compiler cache can reuse it.
  add_compile_options("$<$<COMPILE_LANG_AND_ID:CXX,Clang>:SHELL:-Xclang -fno-pch-timestamp>")
endif()

# Test code is optimised lightly (-Og) in the optimised build types: it is mostly assertion macros,
# costly to optimise and never where a test spends its time. The libraries under test keep the
# build type's optimisation. In a fuzzer tree it carries no fuzzing coverage: no fuzz target links
# it.
set(DV_TEST_COMPILE_OPTIONS $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-Og>)
if(DV_SANITIZE STREQUAL "fuzzer")
  list(APPEND DV_TEST_COMPILE_OPTIONS -fno-sanitize=fuzzer-no-link)
endif()

function(dv_precompiled_headers target kind) # kind: library or test
  if(NOT DV_PRECOMPILED_HEADERS)
    return()
  endif()
  set(host dv_precompiled_${kind})
  if(NOT TARGET ${host})
    if(kind STREQUAL "library")
      add_library(${host} OBJECT ${PROJECT_SOURCE_DIR}/cmake/PrecompiledHost.cpp)
      target_precompile_headers(${host} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/Precompiled.h)
    else()
      add_executable(${host} ${PROJECT_SOURCE_DIR}/cmake/PrecompiledHost.cpp)
      target_link_libraries(${host} PRIVATE dv_test_main)
      target_compile_options(${host} PRIVATE ${DV_TEST_COMPILE_OPTIONS})
      target_precompile_headers(${host} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/PrecompiledTest.h)
    endif()
    target_include_directories(${host} PRIVATE ${PROJECT_SOURCE_DIR})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${host})
endfunction()

# dv_library(NAME SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
# One static library per folder; headers are included as "platform/base/NSString.h".
function(dv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  dv_precompiled_headers(${name} library)
endfunction()

# The test binaries a sanitizer build makes and runs, by folder (a folder stands for itself and
# every folder below it); the normal build makes and runs every one. The address and
# undefined-behaviour build takes the folders whose code parses, decodes, manages memory and
# talks to the network, where those faults live; the thread build the folders whose code runs on
# several threads. The screens (app/) and the interface toolkit run in the normal build only.
set(DV_ADDRESS_SANITIZED_TESTS platform foundation push tools/devserver ui/images)
set(DV_THREAD_SANITIZED_TESTS platform/dispatch platform/net platform/ui foundation tools/devserver ui/images)

# dv_tests_wanted(FOLDER OUT): whether this build makes the tests of FOLDER ("platform/base").
function(dv_tests_wanted folder out)
  set(${out} TRUE PARENT_SCOPE)
  if(DV_SANITIZE STREQUAL "thread")
    set(folders ${DV_THREAD_SANITIZED_TESTS})
  elseif(DV_SANITIZE)
    set(folders ${DV_ADDRESS_SANITIZED_TESTS})
  else()
    return()
  endif()
  foreach(entry IN LISTS folders)
    if(folder STREQUAL entry OR folder MATCHES "^${entry}/")
      return()
    endif()
  endforeach()
  set(${out} FALSE PARENT_SCOPE)
endfunction()

# A clang sanitizer tree builds only what its tests and fuzz targets need. Clang's thread-safety
# analysis still reaches the rest: every other target of the tree (the libraries above those tests,
# the tests it does not run, the benchmarks, the tools) gets a twin compiled with -fsyntax-only,
# which runs the analysis and writes no object (so each build of the twins compiles them again,
# from the compiler cache when nothing changed), and the target dv_analysis builds the twins
# (dv_analysis_twins, called once after every folder has been added). The tests the tree does not
# run and the benchmarks are defined there for their twins only, outside the tree's default target.
if(DV_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(DV_ANALYSIS_TWINS ON)
else()
  set(DV_ANALYSIS_TWINS OFF)
endif()

# dv_test(NAME SOURCES ... LIBS ...): one GoogleTest binary per folder; all of them join dv_tests.
# DV_TESTS_ANALYSED_ONLY (set by the folder's caller): the tree only analyses these tests.
function(dv_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(DV_TESTS_ANALYSED_ONLY)
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} dv_test_main)
    set_property(TARGET ${name} PROPERTY DV_ANALYSED ON)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} dv_test_main)
  target_compile_options(${name} PRIVATE ${DV_TEST_COMPILE_OPTIONS})
  dv_precompiled_headers(${name} test)
  # dv_tests builds every test binary of the tree and only what they need.
  if(NOT TARGET dv_tests)
    add_custom_target(dv_tests)
  endif()
  add_dependencies(dv_tests ${name})
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

# dv_bench(NAME SOURCES ... LIBS ...): a Google Benchmark binary (in a sanitizer tree, for its
# analysis twin only).
function(dv_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(DV_SANITIZE)
    add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    set_property(TARGET ${name} PROPERTY DV_ANALYSED ON)
  else()
    add_executable(${name} ${ARG_SOURCES})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# dv_targets(OUT DIR): every target defined in DIR and the folders below it.
function(dv_targets out dir)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    dv_targets(below ${sub})
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# dv_executables(OUT DIR): every executable target defined in DIR and the folders below it.
function(dv_executables out dir)
  dv_targets(targets ${dir})
  set(found "")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# dv_analysis_twins(): the syntax-only twins of every target that neither dv_tests nor
# dv_fuzz_targets builds (see DV_ANALYSIS_TWINS), all under dv_analysis. A twin compiles the
# target's sources with the target's include folders, definitions and options (its own and those
# of what it links), and depends on nothing: analysing a library never builds another.
function(dv_analysis_twins)
  # What the tree builds: the dependencies of dv_tests and dv_fuzz_targets and all they link.
  set(pending "")
  foreach(top dv_tests dv_fuzz_targets)
    if(TARGET ${top})
      get_target_property(deps ${top} MANUALLY_ADDED_DEPENDENCIES)
      list(APPEND pending ${deps})
    endif()
  endforeach()
  set(built "")
  while(pending)
    list(POP_FRONT pending target)
    if(NOT TARGET ${target} OR target IN_LIST built)
      continue()
    endif()
    list(APPEND built ${target})
    get_target_property(imported ${target} IMPORTED)
    if(imported)
      continue()
    endif()
    foreach(property LINK_LIBRARIES MANUALLY_ADDED_DEPENDENCIES)
      get_target_property(more ${target} ${property})
      if(more)
        list(APPEND pending ${more})
      endif()
    endforeach()
  endwhile()

  add_custom_target(dv_analysis)
  dv_targets(targets ${PROJECT_SOURCE_DIR})
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(hidden ${target} EXCLUDE_FROM_ALL)
    get_target_property(analysed ${target} DV_ANALYSED)
    if(target IN_LIST built OR NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$" OR (hidden AND NOT analysed))
      continue()
    endif()
    get_target_property(folder ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    set(paths "")
    foreach(source IN LISTS sources)
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder})
      list(APPEND paths ${source})
    endforeach()
    add_library(${target}_analysis OBJECT EXCLUDE_FROM_ALL ${paths})
    target_include_directories(${target}_analysis PRIVATE $<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>)
    target_compile_definitions(${target}_analysis PRIVATE $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>)
    target_compile_options(${target}_analysis PRIVATE $<TARGET_PROPERTY:${target},COMPILE_OPTIONS> -fsyntax-only)
    add_dependencies(dv_analysis ${target}_analysis)
  endforeach()
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

# dv_image_maker(PROGRAM SOURCE WRITE_TARGET INTO COMMENT): a small program, run by hand, that draws
# pictures into the folder INTO (the PNGs it writes are committed); `cmake --build build --target
# WRITE_TARGET` builds and runs it.
function(dv_image_maker program source write_target into comment)
  add_executable(${program} EXCLUDE_FROM_ALL ${source})
  target_link_libraries(${program} PRIVATE dv_platform_graphics)
  add_custom_target(${write_target}
    COMMAND ${program} ${into}
    DEPENDS ${program}
    COMMENT "${comment}")
endfunction()
