# Cross-compiling for 64-bit Windows with Debian's MinGW-w64. The posix-threads variant:
# Qt and std::thread need it; the unsuffixed compiler names point at the win32-threads one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_AR x86_64-w64-mingw32-ar CACHE FILEPATH "")
set(CMAKE_RANLIB x86_64-w64-mingw32-ranlib CACHE FILEPATH "")

# Libraries and headers for Windows: MinGW's own and, for the program, the prefix of the
# dependencies that scripts/windows passes in QMR4070_WINDOWS_PREFIX.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QMR4070_WINDOWS_PREFIX})
# Programs run on this machine; libraries and headers come from the Windows side only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_STRIP x86_64-w64-mingw32-strip CACHE FILEPATH "")
