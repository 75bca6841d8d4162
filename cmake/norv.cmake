# Helpers shared by every folder's CMakeLists.txt.

# norv_sources(file...): adds source files of the calling folder to the runtime.
function(norv_sources)
  foreach(source IN LISTS ARGN)
    target_sources(norv_runtime PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/${source})
  endforeach()
endfunction()

# norv_test(name source... [LIBS lib...]): one GoogleTest binary.
function(norv_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE norv_test_support norv_runtime GTest::gtest_main GTest::gmock ${ARG_LIBS})
  if(NORV_DISCOVER_TESTS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  endif()
endfunction()

# norv_fuzzer(name source...): one libFuzzer target, run briefly by the test command.
function(norv_fuzzer name)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE norv_runtime)
endfunction()

# norv_benchmark(name source... [LIBS lib...]): one Google Benchmark binary.
function(norv_benchmark name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE norv_runtime benchmark::benchmark ${ARG_LIBS})
endfunction()
