# The Release build's hardening: the flags Debian builds its programs with
# (dpkg-buildflags), since the converter reads files from anywhere. Here and not
# in CI, so that every Release build gets them. PIE is the compiler's default.
# Included before any target is made: the options apply to all of them.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
    return()
endif()

include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)

# -fcf-protection exists on x86 only; the others may be missing from an old or
# another compiler. A flag the compiler lacks is left out, not an error.
set(lumarind_hardening_flags "")
foreach(flag IN ITEMS -fstack-protector-strong -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "LUMARIND_CXX_HAS${flag}" has_flag)
    check_cxx_compiler_flag("${flag}" ${has_flag})
    if(${has_flag})
        list(APPEND lumarind_hardening_flags "${flag}")
    endif()
endforeach()
# Given to the link too, where LTO makes the code (GCC 12 keeps them with each
# function anyway).
add_compile_options(${lumarind_hardening_flags})
add_link_options(${lumarind_hardening_flags})

# A compiler that sets its own level would warn of a redefinition (an error in
# CI): undefine it first. Fortification needs the optimiser, so Release only.
add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2)

foreach(flag IN ITEMS relro now)
    string(MAKE_C_IDENTIFIER "LUMARIND_LINKER_HAS_Z_${flag}" has_flag)
    check_linker_flag(CXX "LINKER:-z,${flag}" ${has_flag})
    if(${has_flag})
        add_link_options("LINKER:-z,${flag}")
    endif()
endforeach()
