# Injected into libyaml's own project: name the DLL yaml.dll, not libyaml.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
# Stamp yaml.dll with the release's version resource once libyaml defines its target.
if(NORV_YAML_RC)
  enable_language(RC)
  cmake_language(DEFER CALL target_sources yaml PRIVATE ${NORV_YAML_RC})
endif()
