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
# Each file instantiates the std::string members it uses instead of linking
# libstdc++'s whole prebuilt set (the header says why).
set(CMAKE_CXX_FLAGS_MINSIZEREL_INIT
    "-Os -ffunction-sections -fdata-sections -DNDEBUG -include ${CMAKE_CURRENT_LIST_DIR}/../src/platform/win32/string_instances.h")

# The same GCC built for the "win32" thread model: its libgcc and libstdc++
# use Win32 primitives directly instead of winpthread. The bootstrapper runs
# one thread and links against these (about 30 KB less); programs that use
# std::thread (the tests) keep the posix ones. Empty when not installed or
# not the same GCC version.
set(NUBEN_WIN32_THREADS_RUNTIME_DIR "")
find_program(_nuben_gcc_win32 NAMES ${NUBEN_MINGW_PREFIX}-gcc-win32)
if(_nuben_gcc_win32)
    execute_process(COMMAND ${_nuben_gcc_win32} -dumpfullversion
        OUTPUT_VARIABLE _nuben_win32_version OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_C_COMPILER} -dumpfullversion
        OUTPUT_VARIABLE _nuben_posix_version OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${_nuben_gcc_win32} -print-libgcc-file-name
        OUTPUT_VARIABLE _nuben_win32_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
    # Debian reports "12-win32" and "12-posix": compare without the model.
    string(REGEX REPLACE "-(win32|posix)$" "" _nuben_win32_version "${_nuben_win32_version}")
    string(REGEX REPLACE "-(win32|posix)$" "" _nuben_posix_version "${_nuben_posix_version}")
    if(_nuben_win32_version AND _nuben_win32_version STREQUAL _nuben_posix_version
       AND EXISTS "${_nuben_win32_libgcc}")
        get_filename_component(NUBEN_WIN32_THREADS_RUNTIME_DIR "${_nuben_win32_libgcc}" DIRECTORY)
    endif()
endif()

# -static: libgcc, libstdc++ and libwinpthread go into the executable
# (bootstrappers: the win32-model libgcc and libstdc++, no winpthread).
# --no-insert-timestamp: the PE header's TimeDateStamp stays 0.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-Wl,--gc-sections -s")
set(CMAKE_SHARED_LINKER_FLAGS_MINSIZEREL_INIT "-Wl,--gc-sections -s")

# windres: resource scripts are read as code page 949 (Korean).
set(CMAKE_RC_FLAGS_INIT "-c 949")
