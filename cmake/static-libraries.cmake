# Windows programs are linked statically: a library's own archive (libz.a)
# is taken before its DLL's import library (libz.dll.a).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a .lib .dll.a)
