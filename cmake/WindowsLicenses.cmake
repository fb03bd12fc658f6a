# The licence texts of the libraries linked into the Windows programs, at the
# root of the zip.
if(FONTGRAFT_WINDOWS_LICENSES AND NOT FONTGRAFT_WINDOWS_LICENSES_INSTALLED)
  install(FILES ${FONTGRAFT_WINDOWS_LICENSES} DESTINATION .)
  set(FONTGRAFT_WINDOWS_LICENSES_INSTALLED ON)
endif()
