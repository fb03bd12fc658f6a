# The converter's legacy charset tables (JIS, GB 2312, KS X 1001, Big5), made
# at build time from X.Org's encoding files (Debian: xfonts-encodings) by
# tools/make_charset_tables.py, and compiled into fontgraft-convert, the
# Windows one too: it needs nothing at run time. Without the files or Python
# the converter refuses bitmap fonts in these charsets.
set(FONTGRAFT_ENCODINGS_DIR "/usr/share/fonts/X11/encodings" CACHE PATH
    "X.Org's encoding files, read into the converter's charset tables")
set(fontgraft_encoding_files
    large/jisx0201.1976-0.enc.gz
    large/jisx0208.1990-0.enc.gz
    large/jisx0212.1990-0.enc.gz
    large/gb2312.1980-0.enc.gz
    large/ksc5601.1987-0.enc.gz
    large/big5.eten-0.enc.gz)
set(fontgraft_encodings "")
set(fontgraft_encodings_missing "")
foreach(file IN LISTS fontgraft_encoding_files)
  if(EXISTS "${FONTGRAFT_ENCODINGS_DIR}/${file}")
    list(APPEND fontgraft_encodings "${FONTGRAFT_ENCODINGS_DIR}/${file}")
  else()
    list(APPEND fontgraft_encodings_missing "${file}")
  endif()
endforeach()
find_package(Python3 COMPONENTS Interpreter QUIET)
if(fontgraft_encodings_missing)
  message(STATUS "X.Org's encoding files not found in ${FONTGRAFT_ENCODINGS_DIR} "
                 "(Debian: xfonts-encodings): fontgraft-convert refuses bitmap fonts in legacy charsets")
elseif(NOT Python3_Interpreter_FOUND)
  message(STATUS "Python 3 not found: fontgraft-convert is built without its legacy charset "
                 "tables and refuses bitmap fonts in those charsets")
else()
  set(fontgraft_tables "${CMAKE_CURRENT_BINARY_DIR}/generated/charset_tables.inc")
  add_custom_command(
    OUTPUT "${fontgraft_tables}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/generated"
    COMMAND "${Python3_EXECUTABLE}" "${PROJECT_SOURCE_DIR}/tools/make_charset_tables.py"
            "${fontgraft_tables}" ${fontgraft_encodings}
    DEPENDS "${PROJECT_SOURCE_DIR}/tools/make_charset_tables.py" ${fontgraft_encodings}
    COMMENT "Compiling X.Org's encoding tables into the converter"
    VERBATIM)
  target_sources(fontgraft_convert PRIVATE "${fontgraft_tables}")
  set_source_files_properties("${fontgraft_tables}" PROPERTIES HEADER_FILE_ONLY ON)
  target_include_directories(fontgraft_convert PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/generated")
  set_source_files_properties(src/convert/charsets.cpp PROPERTIES COMPILE_DEFINITIONS
                              FONTGRAFT_CHARSET_TABLES=1)
endif()

