# The libraries of the Windows converter and viewer (FreeType with zlib,
# libpng and brotli), built from Debian's source packages by
# cmake/windows-deps.sh into a cache outside the build tree at the first
# configure, and reused while the sources stay the same. Without them the
# programs that need them are built without (CMake says which).
option(FONTGRAFT_WINDOWS_DEPS
       "Build FreeType, libpng and brotli for the Windows programs from Debian's sources" ON)
set(FONTGRAFT_WINDOWS_LICENSES "")
if(FONTGRAFT_WINDOWS_DEPS)
  execute_process(
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/windows-deps.sh ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake
    OUTPUT_VARIABLE fontgraft_deps_out
    RESULT_VARIABLE fontgraft_deps_status
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE ".*\n" "" fontgraft_deps_prefix "${fontgraft_deps_out}")
  if(fontgraft_deps_status EQUAL 0 AND IS_DIRECTORY "${fontgraft_deps_prefix}")
    message(STATUS "Windows libraries: ${fontgraft_deps_prefix}")
    list(APPEND CMAKE_FIND_ROOT_PATH "${fontgraft_deps_prefix}")
    list(APPEND CMAKE_PREFIX_PATH "${fontgraft_deps_prefix}")
    # The licence texts go into the zip beside the programs.
    file(GLOB fontgraft_licenses "${fontgraft_deps_prefix}/share/licenses/*.txt")
    file(COPY ${fontgraft_licenses} DESTINATION ${PROJECT_BINARY_DIR}/licenses)
    foreach(license IN LISTS fontgraft_licenses)
      get_filename_component(name "${license}" NAME)
      list(APPEND FONTGRAFT_WINDOWS_LICENSES "${PROJECT_BINARY_DIR}/licenses/${name}")
    endforeach()
  else()
    message(WARNING "The Windows libraries (FreeType, libpng, brotli) could not be had (the reason is above); "
                    "the converter and the viewer's PNG output are left out "
                    "(-DFONTGRAFT_WINDOWS_DEPS=OFF stops trying)")
  endif()
endif()
