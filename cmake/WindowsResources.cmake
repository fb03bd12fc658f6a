# The Windows programs' resources (src/common/utf8.rc): the manifest that
# gives them file names and arguments in UTF-8, and the version resource
# Explorer shows in a program's properties, with the project's version.

# What each program is, as its properties say.
set(fontgraft_description_fontgraft "fontgraft: installs a BDF font into the font table of a firmware image")
set(fontgraft_description_fontgraft-check "fontgraft-check: what installing a font would do, before it is done")
set(fontgraft_description_fontgraft-show "fontgraft-show: draws what the font table of a firmware image holds")
set(fontgraft_description_fontgraft-convert
    "fontgraft-convert: a TrueType or OpenType font made into the font and code map fontgraft installs")

# Each program's resource compiler includes a header of its own with these
# (the resource compiler's preprocessor takes no blanks in a -D value).
function(fontgraft_windows_resources name)
  target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/common/utf8.rc)
  set(description "${fontgraft_description_${name}}")
  if(NOT description)
    set(description "${name}")
  endif()
  set(folder ${PROJECT_BINARY_DIR}/resources/${name})
  set(numbers "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  file(WRITE ${folder}/fontgraft_resource.h.new
       "#define FONTGRAFT_PROGRAM \"${name}\"\n"
       "#define FONTGRAFT_FILE \"${name}.exe\"\n"
       "#define FONTGRAFT_DESCRIPTION \"${description}\"\n"
       "#define FONTGRAFT_VERSION \"${PROJECT_VERSION}\"\n"
       "#define FONTGRAFT_VERSION_NUMBERS ${numbers}\n")
  # Rewritten only when it changes, so that a configure rebuilds nothing.
  configure_file(${folder}/fontgraft_resource.h.new ${folder}/fontgraft_resource.h COPYONLY)
  target_include_directories(${name} PRIVATE "$<$<COMPILE_LANGUAGE:RC>:${folder}>")
endfunction()
