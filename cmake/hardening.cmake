# Exploit mitigations for every binary of a build. The module runs inside the
# host's process and parses payloads from outside, so it carries what a host
# built with the platform's own compiler would. Sanitizer builds go without:
# _FORTIFY_SOURCE and the sanitizers intercept the same calls.
include(CMakeDependentOption)
include(CheckCXXCompilerFlag)
cmake_dependent_option(NORV_HARDEN "Build with stack protection, _FORTIFY_SOURCE and hardened linking" ON
                       "NOT NORV_SANITIZE;NOT NORV_TSAN" OFF)

# The flags, and what the module check (cmake/check_hardening.cmake) demands
# to find in the binary; the check's own test builds with the same flags.
set(NORV_HARDEN_COMPILE_FLAGS "")
set(NORV_HARDEN_LINK_FLAGS "")
set(NORV_HARDEN_FORTIFY OFF)
set(NORV_HARDEN_CET OFF)
if(NOT NORV_HARDEN)
  # Nor does its summary outlive a switch to an unhardened build.
  file(REMOVE ${CMAKE_BINARY_DIR}/hardening.txt)
  return()
endif()

# MinGW links the protector's runtime (libssp) through this flag, statically
# under -static; its __chk_fail also serves the fortified string functions.
list(APPEND NORV_HARDEN_COMPILE_FLAGS -fstack-protector-strong)
list(APPEND NORV_HARDEN_LINK_FLAGS -fstack-protector-strong)

# The fortified functions need the optimiser's object sizes, so Debug goes
# without. Undefined first: some compilers predefine another level. MinGW's
# checks are inline and fold away wherever the size is provable, which leaves
# the DLL with no trace to demand; glibc's always leave a checked call.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  list(APPEND NORV_HARDEN_COMPILE_FLAGS -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)
  if(NOT WIN32)
    set(NORV_HARDEN_FORTIFY ON)
  endif()
endif()

if(WIN32)
  # Both are binutils' defaults today; stated so that a toolchain that
  # changes them cannot quietly ship a DLL without them.
  list(APPEND NORV_HARDEN_LINK_FLAGS -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND NORV_HARDEN_LINK_FLAGS -Wl,--high-entropy-va)
  endif()
else()
  check_cxx_compiler_flag(-fcf-protection=full NORV_HAVE_CF_PROTECTION)
  if(NORV_HAVE_CF_PROTECTION)
    list(APPEND NORV_HARDEN_COMPILE_FLAGS -fcf-protection=full)
    set(NORV_HARDEN_CET ON)
  endif()
  list(APPEND NORV_HARDEN_LINK_FLAGS -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
endif()

add_compile_options(${NORV_HARDEN_COMPILE_FLAGS})
add_link_options(${NORV_HARDEN_LINK_FLAGS})
