# One set of warnings for every target of the project: libraries, programs,
# tests and benchmarks, native and mingw-w64 alike. VANTREL_WERROR (set by
# scripts/test) makes compiler and linker warnings errors.

option(VANTREL_WERROR "Treat compiler and linker warnings as errors" OFF)

set(VANTREL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)

# Adds the warnings to every buildable target defined in DIR and below it.
# Directories outside the source tree (GoogleTest's sources for the mingw
# build) keep their own flags.
function(vantrel_apply_warnings dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    # Resource scripts (windres) take no compiler warnings.
    target_compile_options(${target} PRIVATE
      $<$<COMPILE_LANGUAGE:C,CXX>:${VANTREL_WARNINGS}>
      $<$<AND:$<BOOL:${VANTREL_WERROR}>,$<COMPILE_LANGUAGE:C,CXX>>:-Werror>)
    if(VANTREL_WERROR AND NOT type STREQUAL "STATIC_LIBRARY" AND NOT type STREQUAL "OBJECT_LIBRARY")
      target_link_options(${target} PRIVATE LINKER:--fatal-warnings)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${subdir}" NORMALIZE inside)
    if(inside)
      vantrel_apply_warnings(${subdir})
    endif()
  endforeach()
endfunction()
