# Cross toolchain: 32-bit Windows (PE32, i386) with Debian's mingw-w64.
#
# The -posix compilers are used so that std::thread and friends (GoogleTest)
# work. Everything is linked statically (libgcc, libstdc++, winpthread), so
# the executables import system DLLs only. Release builds (MinSizeRel) aim
# at a small, reproducible file: no PE timestamp, unused sections dropped,
# symbols stripped, build paths mapped away.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NUBEN_MINGW_PREFIX i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${NUBEN_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${NUBEN_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${NUBEN_MINGW_PREFIX}-windres REQUIRED)
find_program(CMAKE_OBJDUMP NAMES ${NUBEN_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${NUBEN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Build paths must not leak into the binaries (reproducibility).
set(_nuben_prefix_map "")
if(CMAKE_SOURCE_DIR)
    set(_nuben_prefix_map "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.")
endif()

set(CMAKE_C_FLAGS_INIT "${_nuben_prefix_map}")
set(CMAKE_CXX_FLAGS_INIT "${_nuben_prefix_map}")
set(CMAKE_C_FLAGS_MINSIZEREL_INIT "-Os -ffunction-sections -fdata-sections -DNDEBUG")
set(CMAKE_CXX_FLAGS_MINSIZEREL_INIT "-Os -ffunction-sections -fdata-sections -DNDEBUG")

# -static: libgcc, libstdc++ and libwinpthread go into the executable.
# --no-insert-timestamp: the PE header's TimeDateStamp stays 0.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-Wl,--gc-sections -s")
set(CMAKE_SHARED_LINKER_FLAGS_MINSIZEREL_INIT "-Wl,--gc-sections -s")

# windres: resource scripts are read as code page 949 (Korean).
set(CMAKE_RC_FLAGS_INIT "-c 949")
