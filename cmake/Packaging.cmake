# What `cmake --install` puts where, and the packages `cpack` makes in the
# build folder:
#
#   Linux:   `cpack -G DEB` makes fontgraft_<version>_<arch>.deb, whose Depends
#            dpkg-shlibdeps (Debian's dpkg-dev) works out from the libraries
#            the programs link, with the programs stripped (their build IDs
#            kept), the manual pages gzipped, the licence as a Debian
#            copyright file and the changelog (packaging/); `cpack -G TGZ` a
#            tarball of the same tree.
#   Windows: `cpack` makes a zip: the .exe files (stripped, each with its
#            version resource), README-Windows.txt (the first steps in cmd and
#            PowerShell), the README, LICENSE.txt, the example font and code
#            map in examples\, and the licences of the libraries linked into
#            the programs. Those are the files of FONTGRAFT_WINDOWS_LICENSES
#            (a list of paths, set before this file is included or on the
#            command line; each is installed under its own file name). Text
#            files meant for Notepad get Windows line ends.
#
# Only the programs this build made are installed: without FreeType there is
# no converter, and then no manual page for it either. The version is the
# project's (CMakeLists.txt); packaging/changelog must have an entry for it.

set(FONTGRAFT_PROGRAMS fontgraft fontgraft-check fontgraft-show fontgraft-convert)
set(fontgraft_packaging ${PROJECT_SOURCE_DIR}/packaging)

# Directories made by an install are rwxr-xr-x whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

file(STRINGS ${fontgraft_packaging}/changelog fontgraft_changelog_top LIMIT_COUNT 1)
if(NOT fontgraft_changelog_top MATCHES "^fontgraft \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins \"${fontgraft_changelog_top}\": "
                      "give version ${PROJECT_VERSION} (CMakeLists.txt) an entry at its top")
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(fontgraft_text ${PROJECT_BINARY_DIR}/packaging)
  # The readme names the libraries linked in, with the credit FreeType's
  # licence asks for (the first two lines of its licence text), in lines
  # @FONTGRAFT_LIBRARIES_1@ to _4@, empty without them.
  foreach(line 1 2 3 4)
    set(FONTGRAFT_LIBRARIES_${line} "")
  endforeach()
  foreach(license IN LISTS FONTGRAFT_WINDOWS_LICENSES)
    if(license MATCHES "FreeType-FTL\\.txt$")
      set(FONTGRAFT_LIBRARIES_1 "The programs contain FreeType, libpng, zlib and brotli, whose licences")
      set(FONTGRAFT_LIBRARIES_2 "are the other .txt files in this folder.")
      file(READ ${license} fontgraft_credit LIMIT 400)
      string(REGEX MATCH "^([^\n]*)\n([^\n]*)" fontgraft_credit "${fontgraft_credit}")
      set(FONTGRAFT_LIBRARIES_3 "${CMAKE_MATCH_1}")
      set(FONTGRAFT_LIBRARIES_4 "${CMAKE_MATCH_2}")
    endif()
  endforeach()
  configure_file(${fontgraft_packaging}/README-Windows.txt ${fontgraft_text}/README-Windows.txt
                 @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${fontgraft_text}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  foreach(program IN LISTS FONTGRAFT_PROGRAMS)
    if(TARGET ${program})
      install(TARGETS ${program} RUNTIME DESTINATION .)
    endif()
  endforeach()
  install(FILES ${fontgraft_text}/README-Windows.txt ${PROJECT_SOURCE_DIR}/README.md
                ${fontgraft_text}/LICENSE.txt ${FONTGRAFT_WINDOWS_LICENSES} DESTINATION .)
  # The example's bytes as they are: installed from them, the image is the
  # one the README shows.
  install(FILES ${PROJECT_SOURCE_DIR}/examples/blocky.bdf ${PROJECT_SOURCE_DIR}/examples/blocky-cmap.txt
          DESTINATION examples)
else()
  include(GNUInstallDirs)
  # Manual pages and the changelog gzipped as Debian does it: at the highest
  # level, with no name or time stamp in the header, so that the same
  # sources give the same bytes.
  find_program(FONTGRAFT_GZIP gzip)
  if(NOT FONTGRAFT_GZIP)
    message(FATAL_ERROR "gzip is needed to install the manual pages")
  endif()
  set(fontgraft_gzipped "")
  function(fontgraft_gzip source output)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${output}.tmp
      COMMAND ${FONTGRAFT_GZIP} -9nf ${output}.tmp
      COMMAND ${CMAKE_COMMAND} -E rename ${output}.tmp.gz ${output}
      DEPENDS ${source}
      VERBATIM)
  endfunction()
  set(fontgraft_doc_out ${PROJECT_BINARY_DIR}/packaging)
  foreach(program IN LISTS FONTGRAFT_PROGRAMS)
    if(NOT TARGET ${program})
      continue()
    endif()
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    fontgraft_gzip(${PROJECT_SOURCE_DIR}/man/${program}.1 ${fontgraft_doc_out}/${program}.1.gz)
    list(APPEND fontgraft_gzipped ${fontgraft_doc_out}/${program}.1.gz)
    install(FILES ${fontgraft_doc_out}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  fontgraft_gzip(${fontgraft_packaging}/changelog ${fontgraft_doc_out}/changelog.gz)
  add_custom_target(fontgraft_docs ALL DEPENDS ${fontgraft_gzipped} ${fontgraft_doc_out}/changelog.gz)
  # The licence goes in as the machine-readable copyright file, which holds
  # its whole text.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${fontgraft_packaging}/copyright
                ${fontgraft_doc_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME fontgraft)
set(CPACK_PACKAGE_VENDOR "the fontgraft developers")
set(CPACK_PACKAGE_CONTACT "fontgraft developers <fontgraft@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "install a BDF font into the font table of a device firmware image")
set(CPACK_PACKAGE_DESCRIPTION
    "fontgraft writes each glyph of a bitmap font, as a 16 x 16 cell packed into a
32-byte record, into the font table of a small device's firmware image, at
the slot of its character code, and reports every slot written. With it come
fontgraft-check, which says what an install would do before it is done,
fontgraft-show, which draws what an image's font table holds, as text or as
PNG sheets, and fontgraft-convert, which makes the BDF font and the code map
that fontgraft installs from a TrueType or OpenType font.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
# The packages' programs carry no symbol tables; the build ID stays, so that
# a crash can still be matched to the build.
set(CPACK_STRIP_FILES ON)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(CPACK_GENERATOR ZIP)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB TGZ)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "fontgraft developers <fontgraft@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
