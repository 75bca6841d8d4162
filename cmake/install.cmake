# cmake --install: the runtime library, its headers (RapidJSON's and libyaml's
# beside them), the host simulator, the module sources and the NorvRuntime
# package, so the family's next plugin builds on it without copying this tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(NORV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/NorvRuntime)

install(TARGETS norv_runtime EXPORT NorvRuntimeTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS host_sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(dir platform diagnostics binding formats remoting plugin messaging include)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir} FILES_MATCHING PATTERN "*.h")
endforeach()
install(DIRECTORY include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${CMAKE_BINARY_DIR}/deps/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  install(FILES ${NORV_LIBYAML_SOURCE_DIR}/include/yaml.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(FILES ${NORV_YAML_DLL} DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES platform/windows/module/module_entry.cc DESTINATION ${NORV_PACKAGE_DIR}/module)
endif()
file(GLOB norv_install_module_sources plugin/module/*.cc)
install(FILES ${norv_install_module_sources} plugin/module/exports.map DESTINATION ${NORV_PACKAGE_DIR}/module)
install(FILES cmake/hardening.cmake cmake/norv_add_plugin.cmake DESTINATION ${NORV_PACKAGE_DIR})

install(EXPORT NorvRuntimeTargets NAMESPACE Norv:: DESTINATION ${NORV_PACKAGE_DIR})
set_target_properties(norv_runtime PROPERTIES EXPORT_NAME runtime)
add_library(Norv::runtime ALIAS norv_runtime)
configure_package_config_file(cmake/NorvRuntimeConfig.cmake.in ${CMAKE_BINARY_DIR}/NorvRuntimeConfig.cmake
  INSTALL_DESTINATION ${NORV_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/NorvRuntimeConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/NorvRuntimeConfig.cmake ${CMAKE_BINARY_DIR}/NorvRuntimeConfigVersion.cmake
  DESTINATION ${NORV_PACKAGE_DIR})
