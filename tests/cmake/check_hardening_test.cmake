# Builds a small module with the hardening flags, then once without each
# protection, and expects cmake/check_hardening.cmake to pass the first and
# reject every other, naming what is missing. A check that reads nothing from
# the binary would pass them all.
#   -DSYSTEM=<CMAKE_SYSTEM_NAME> -DCXX= -DCXX_FLAGS= -DCOMPILE_FLAGS= -DLINK_FLAGS=
#   -DOBJDUMP= -DOBJCOPY= -DREADELF= -DFORTIFY= -DCET= -DCHECK=<check_hardening.cmake> -DWORK=<scratch folder>
cmake_minimum_required(VERSION 3.25)
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(compile_flags UNIX_COMMAND "${COMPILE_FLAGS}")
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
# A local buffer for the protector, a call glibc fortifies, an entry to inspect.
set(source ${WORK}/module.cc)
file(WRITE ${source} [=[
#include <cstdarg>
#include <cstdio>
extern "C" int entry(const char* format, ...) {
    char line[64];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    std::puts(line);
    return length;
}
]=])

set(pe OFF)
if(SYSTEM STREQUAL "Windows")
  set(pe ON)
endif()
set(pic "")
if(NOT pe)
  set(pic -fPIC)
endif()

set(failures "")
# build_and_check(<name> EXPECT <lacking text or "">
#                 [DROP flags...] [ADD flags...] [WRITABLE_TEXT])
function(build_and_check name)
  cmake_parse_arguments(ARG "WRITABLE_TEXT" "EXPECT" "DROP;ADD" ${ARGN})
  set(compile ${compile_flags})
  set(link ${link_flags})
  foreach(flag IN LISTS ARG_DROP)
    if(NOT flag IN_LIST compile AND NOT flag IN_LIST link)
      return()  # not a flag this platform uses
    endif()
    list(REMOVE_ITEM compile ${flag})
    list(REMOVE_ITEM link ${flag})
  endforeach()
  set(module ${WORK}/${name}.module)
  execute_process(COMMAND ${CXX} ${cxx_flags} -O2 ${pic} ${compile} -shared ${link} ${ARG_ADD} ${source} -o ${module}
                  RESULT_VARIABLE failed ERROR_VARIABLE error)
  if(failed)
    message(FATAL_ERROR "${name}: the fixture did not build: ${error}")
  endif()
  if(ARG_WRITABLE_TEXT)
    execute_process(COMMAND ${OBJCOPY} --set-section-flags .text=contents,alloc,load,code ${module} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "${name}: objcopy failed")
    endif()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DBINARY=${module} -DOBJDUMP=${OBJDUMP} -DREADELF=${READELF}
                          -DSUMMARY=${module}.txt -DFORTIFY=${FORTIFY} -DCET=${CET} -DENTRY=entry -P ${CHECK}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  if("${ARG_EXPECT}" STREQUAL "")
    if(failed)
      set(failures "${failures}\n${name}: expected to pass, got: ${output}" PARENT_SCOPE)
    else()
      message(STATUS "${name}: passed")
    endif()
  elseif(NOT failed)
    set(failures "${failures}\n${name}: expected to lack ${ARG_EXPECT}, passed: ${output}" PARENT_SCOPE)
  elseif(NOT output MATCHES "lacks: [^\n]*${ARG_EXPECT}")
    set(failures "${failures}\n${name}: expected to lack ${ARG_EXPECT}, got: ${output}" PARENT_SCOPE)
  else()
    message(STATUS "${name}: rejected for ${ARG_EXPECT}")
  endif()
endfunction()

build_and_check(hardened EXPECT "")
build_and_check(no_protector EXPECT "stack protector" DROP -fstack-protector-strong ADD -fno-stack-protector)
if(FORTIFY)
  build_and_check(no_fortify EXPECT "_FORTIFY_SOURCE" DROP -D_FORTIFY_SOURCE=2)
endif()
if(pe)
  build_and_check(no_aslr EXPECT "DYNAMIC_BASE" DROP -Wl,--dynamicbase ADD -Wl,--disable-dynamicbase)
  build_and_check(no_dep EXPECT "NX_COMPAT" DROP -Wl,--nxcompat ADD -Wl,--disable-nxcompat)
  build_and_check(no_high_entropy EXPECT "HIGH_ENTROPY_VA" DROP -Wl,--high-entropy-va ADD -Wl,--disable-high-entropy-va)
  build_and_check(writable_code EXPECT "no writable code" WRITABLE_TEXT)
else()
  if(CET)
    build_and_check(no_cet EXPECT "control-flow protection" DROP -fcf-protection=full ADD -fcf-protection=none)
  endif()
  build_and_check(lazy_binding EXPECT "full RELRO" DROP -Wl,-z,now ADD -Wl,-z,lazy)
  build_and_check(no_relro EXPECT "full RELRO" DROP -Wl,-z,relro ADD -Wl,-z,norelro)
  build_and_check(executable_stack EXPECT "non-executable stack" DROP -Wl,-z,noexecstack ADD -Wl,-z,execstack)
endif()

if(failures)
  message(FATAL_ERROR "the hardening check misjudged:${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
