# norv_add_plugin(target NAME <module-name> SOURCES <files...>): a plugin module
# of the family, named <module-name>.dll or .so, exporting only its entry and
# carrying the module-wide pieces (counting allocator, lifetime, DLL entry).
# Hardening comes from hardening.cmake, included once per project.
function(norv_add_plugin target)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES" ${ARGN})
  file(GLOB module_sources ${NORV_MODULE_SOURCE_DIR}/*.cc)
  list(FILTER module_sources EXCLUDE REGEX "module_entry\\.cc$")
  add_library(${target} SHARED ${ARG_SOURCES} ${module_sources})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_NAME} PREFIX "")
  target_link_libraries(${target} PRIVATE Norv::runtime)
  if(WIN32)
    target_sources(${target} PRIVATE ${NORV_MODULE_SOURCE_DIR}/module_entry.cc)
    target_link_options(${target} PRIVATE -static -Wl,--no-insert-timestamp)
  else()
    set(exports ${NORV_MODULE_SOURCE_DIR}/exports.map)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--exclude-libs,ALL
                        -Wl,--version-script=${exports})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${exports})
  endif()
endfunction()
