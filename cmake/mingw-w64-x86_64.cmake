# Cross-building the 64-bit Windows module with Debian's MinGW-w64 and
# running what was built under Wine.
#
# The posix thread model: its C++ runtime has std::mutex and friends, which
# GoogleTest needs; the win32 model of this compiler generation lacks them.
# Every binary links libgcc, libstdc++ and winpthread statically, so the
# DLLs and programs need nothing beyond the system DLLs (KERNEL32, msvcrt)
# and each other on a plain Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HLR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HLR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HLR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HLR_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${HLR_MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for PE files")

set(CMAKE_FIND_ROOT_PATH /usr/${HLR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Wine runs the programs: ctest and test discovery go through it. Debian's
# wine64 package keeps its loader in /usr/lib/wine. Wine gets a prefix of
# its own in the build folder (created on first use, in a few seconds and
# without a display) and prints none of its debugging channels.
find_program(HLR_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(HLR_WINE)
  if(NOT HLR_WINEPREFIX)
    set(HLR_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for running the tests")
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
    WINEPREFIX=${HLR_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    ${HLR_WINE})
endif()
