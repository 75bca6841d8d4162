# Windows only: builds yaml.dll from Debian's libyaml source (fetched by
# scripts/setup.sh) so the YAML reader can load it at run time, and makes its
# header available to the runtime for the event types.
set(NORV_LIBYAML_SOURCE_DIR "$ENV{HOME}/.cache/vek-norv/libyaml-src" CACHE PATH "Debian's libyaml source tree")
if(NOT EXISTS ${NORV_LIBYAML_SOURCE_DIR}/include/yaml.h)
  message(FATAL_ERROR "libyaml source not found in ${NORV_LIBYAML_SOURCE_DIR}; run scripts/setup.sh all")
endif()
target_include_directories(norv_runtime SYSTEM PUBLIC $<BUILD_INTERFACE:${NORV_LIBYAML_SOURCE_DIR}/include>)

include(ExternalProject)
set(NORV_RC_DESCRIPTION "libyaml, built for vek-norv-messaging-service")
set(NORV_RC_NAME yaml)
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_BINARY_DIR}/libyaml_version.rc @ONLY)
set(NORV_YAML_DLL ${CMAKE_BINARY_DIR}/libyaml/yaml.dll)
ExternalProject_Add(libyaml_dll
  SOURCE_DIR ${NORV_LIBYAML_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/libyaml
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DBUILD_TESTING=OFF
    "-DCMAKE_C_FLAGS=-ffile-prefix-map=${NORV_LIBYAML_SOURCE_DIR}=libyaml -ffile-prefix-map=${CMAKE_BINARY_DIR}=build"
    "-DCMAKE_SHARED_LINKER_FLAGS=-static -Wl,--no-insert-timestamp"
    -DCMAKE_RC_COMPILER=${CMAKE_RC_COMPILER}
    -DNORV_YAML_RC=${CMAKE_BINARY_DIR}/libyaml_version.rc
    -DCMAKE_PROJECT_yaml_INCLUDE=${PROJECT_SOURCE_DIR}/cmake/libyaml_no_prefix.cmake
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${NORV_YAML_DLL})

# norv_copy_yaml_dll(target): puts yaml.dll beside the target's executable.
function(norv_copy_yaml_dll target)
  add_dependencies(${target} libyaml_dll)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${NORV_YAML_DLL} $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
