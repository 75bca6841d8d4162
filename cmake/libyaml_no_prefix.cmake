# Injected into libyaml's own project: name the DLL yaml.dll, not libyaml.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
