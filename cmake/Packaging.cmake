# What `cmake --install` puts where, and the packages `cpack` makes in the
# build folder:
#
#   Linux:   `cpack -G DEB` makes fontgraft_<version>_<arch>.deb, whose Depends
#            dpkg-shlibdeps (Debian's dpkg-dev) works out from the libraries
#            the programs link; `cpack -G TGZ` a tarball of the same tree.
#   Windows: `cpack` makes a zip: bin/*.exe, with the README, the licence and
#            the licences of the libraries linked into the programs at its
#            root. Those are the files of FONTGRAFT_WINDOWS_LICENSES (a list
#            of paths, set before this file is included or on the command
#            line; each is installed under its own file name).
#
# Only the programs this build made are installed: without FreeType there is
# no converter, and then no manual page for it either.

set(FONTGRAFT_PROGRAMS fontgraft fontgraft-check fontgraft-show fontgraft-convert)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(FONTGRAFT_DOC_DIR .)
else()
  include(GNUInstallDirs)
  set(FONTGRAFT_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()

foreach(program IN LISTS FONTGRAFT_PROGRAMS)
  if(NOT TARGET ${program})
    continue()
  endif()
  install(TARGETS ${program} RUNTIME DESTINATION bin)
  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Windows")
    install(FILES ${PROJECT_SOURCE_DIR}/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${FONTGRAFT_DOC_DIR})
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND FONTGRAFT_WINDOWS_LICENSES)
  install(FILES ${FONTGRAFT_WINDOWS_LICENSES} DESTINATION .)
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
