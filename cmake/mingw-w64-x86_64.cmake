# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: POSIX
# threads, so std::thread and OpenMP work). The libraries Debian does not ship for MinGW are built
# by scripts/mingw-deps.sh into TESSALINE_MINGW_PREFIX; executables run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSALINE_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TESSALINE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALINE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALINE_MINGW_TRIPLE}-windres)

if(NOT TESSALINE_MINGW_PREFIX)
  set(TESSALINE_MINGW_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build/mingw-deps/prefix)
endif()
get_filename_component(TESSALINE_MINGW_PREFIX "${TESSALINE_MINGW_PREFIX}" ABSOLUTE)
set(TESSALINE_MINGW_PREFIX ${TESSALINE_MINGW_PREFIX} CACHE PATH "MinGW libraries built from source")

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALINE_MINGW_TRIPLE} ${TESSALINE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only at the libraries built for MinGW.
set(ENV{PKG_CONFIG_LIBDIR} ${TESSALINE_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The programs carry their runtime (libstdc++, libgcc, winpthread, libgomp), so they run from any
# folder without DLLs beside them. FindOpenMP would name the import library of libgomp.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
if(NOT OpenMP_gomp_LIBRARY)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgomp.a
    OUTPUT_VARIABLE gomp OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(OpenMP_gomp_LIBRARY ${gomp} CACHE FILEPATH "libgomp, static")
endif()

# Tests run the executables under wine64 (through the wrapper the project writes).
find_program(TESSALINE_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
