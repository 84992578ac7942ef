# cmake -DEXE=... -DPAYLOAD=... -DMAP=... -DCEILING=<bytes> -DBUILD_TYPE=... -P check_size.cmake
# Fails when EXE minus PAYLOAD is larger than CEILING, or when the link map
# MAP shows the DWARF unwinder or the C++ exception personality linked in
# (nothing in the bootstrapper raises an exception: they would be dead
# weight, and a sign that some code throws after all); exit code 77
# (skipped) for builds other than MinSizeRel, which are not built for size.
if(NOT BUILD_TYPE STREQUAL "MinSizeRel")
    message("release_size_ceiling: ${BUILD_TYPE} build, not size-optimised: skipped")
    cmake_language(EXIT 77)
endif()
foreach(file IN ITEMS "${EXE}" "${PAYLOAD}" "${MAP}")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "release_size_ceiling: ${file} is missing: build NuBenSetup first")
    endif()
endforeach()
file(SIZE "${EXE}" exe_size)
file(SIZE "${PAYLOAD}" payload_size)
math(EXPR own "${exe_size} - ${payload_size}")
if(own GREATER CEILING)
    math(EXPR over "${own} - ${CEILING}")
    message(FATAL_ERROR "NuBenSetup.exe weighs ${own} bytes without its payload "
                        "(${exe_size} - ${payload_size}): ${over} bytes over the ceiling of ${CEILING}")
endif()
message("NuBenSetup.exe: ${own} bytes without its payload (ceiling ${CEILING})")

# An object of the unwinder's archive, or the personality routine's, is named
# in the map wherever the linker took it in.
file(STRINGS "${MAP}" unwinding REGEX "libgcc_eh\\.a\\(|libgcc_s|eh_personality\\.o|__gxx_personality_")
if(unwinding)
    list(GET unwinding 0 first)
    string(STRIP "${first}" first)
    message(FATAL_ERROR "NuBenSetup.exe links exception machinery (${MAP}): ${first}")
endif()
message("NuBenSetup.exe links neither the unwinder nor the exception personality")
