# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads variant), running
# the results under Wine.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RHEO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RHEO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RHEO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RHEO_MINGW_TRIPLE}-windres)

# The MinGW-w64 root, and every prefix the build is given in CMAKE_PREFIX_PATH (libraries
# cross-built for Windows, such as QCustomPlot from scripts/windows-qcustomplot.sh) searched as it
# is rather than under that root.
set(CMAKE_FIND_ROOT_PATH /usr/${RHEO_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libgcc, libstdc++ or winpthread DLLs to ship or to find under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Tests and test discovery run the .exe files through Wine. Debian installs the "wine" launcher,
# which picks /usr/lib/wine/wine64 for 64-bit programs; "wine64" is the name elsewhere.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(RHEO_WINE NAMES wine wine64 PATHS /usr/lib/wine)
    if(RHEO_WINE)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${RHEO_WINE})
    endif()
endif()
