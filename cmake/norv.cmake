# Helpers shared by every folder's CMakeLists.txt. Sources, tests, benchmarks
# and fuzzers are found by their file names, so adding a file needs no edit here.

# Adds every .cc file of the calling folder (and of the given subfolders) to the runtime.
function(norv_layer_sources)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  foreach(sub IN LISTS ARGN)
    file(GLOB more CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cc)
    list(APPEND sources ${more})
  endforeach()
  if(sources)
    target_sources(norv_runtime PRIVATE ${sources})
  endif()
endfunction()

# Links an ELF plugin module so that it exports nothing but the entry named in
# `exports`: the module's operator new and delete, and the private copy of the
# C++ runtime it carries, bind inside it. With NORV_SHARED_CXX_RUNTIME the
# module uses the shared C++ runtime instead (see that option).
function(norv_link_module_exports target exports)
  if(NORV_SHARED_CXX_RUNTIME)
    target_link_options(${target} PRIVATE -Wl,--version-script=${exports})
  else()
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL
                        -Wl,--version-script=${exports})
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${exports})
endfunction()

# One GoogleTest binary <folder>_test from every *_test.cc of the calling folder.
function(norv_test_folder name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cc)
  if(NOT sources)
    return()
  endif()
  add_executable(${name}_test ${sources})
  target_link_libraries(${name}_test PRIVATE norv_test_support norv_runtime GTest::gtest_main GTest::gmock ${ARG_LIBS})
  norv_copy_yaml_dll(${name}_test)
  if(NORV_DISCOVER_TESTS)
    gtest_discover_tests(${name}_test DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  else()
    add_test(NAME ${name}_test COMMAND ${name}_test)
    set_tests_properties(${name}_test PROPERTIES TIMEOUT 900)
  endif()
endfunction()
