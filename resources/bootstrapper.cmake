# nuben_add_bootstrapper(<target> <payload> <output-name>)
#
# Builds a bootstrapper executable: the entry point, the logic, the Win32
# platform and NuBenSetup.rc, with <payload> embedded as "SETUP_FILE" of
# type "EXE". <payload> is either the name of an executable target (built
# first) or the path of a file (existing, or the output of a custom command
# in the calling folder). <output-name> is the file name of
# the result ("NuBenSetup.exe" or "NuBenSetup"). The bootstrapper is
# rebuilt whenever the payload changes.
#
# Each bootstrapper gets its own folder in the calling directory's binary
# tree, holding a copy of the payload named setup_file.bin and a copy of
# the resource script; windres finds the payload, the manifest and the icon
# through its include path.

# The entry point, compiled once for every bootstrapper. An object library,
# not a static one: WinMain is referenced only by the C runtime's startup
# code, which the linker reads after the project's own libraries.
# throw_hooks.cpp replaces libstdc++'s std::__throw_* functions and operator
# new, so that no exception machinery is linked; it must therefore be linked
# into bootstrappers only, ahead of the library.
add_library(nuben_winmain OBJECT
    ${PROJECT_SOURCE_DIR}/src/main/winmain.cpp
    ${PROJECT_SOURCE_DIR}/src/platform/win32/throw_hooks.cpp)
target_link_libraries(nuben_winmain PUBLIC nuben_logic nuben_win32_platform)
target_compile_definitions(nuben_winmain PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_compile_options(nuben_winmain PRIVATE ${NUBEN_WARNINGS} ${NUBEN_NO_EXCEPTIONS})

function(nuben_add_bootstrapper target payload output_name)
    # This file's folder, wherever the function is called from.
    set(resources_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
    file(MAKE_DIRECTORY ${dir})

    if(TARGET ${payload})
        set(payload_file $<TARGET_FILE:${payload}>)
    else()
        get_filename_component(payload_file ${payload} ABSOLUTE)
        # A file that a custom command of the calling folder makes is fine too.
        get_source_file_property(payload_generated ${payload_file} GENERATED)
        if(NOT EXISTS ${payload_file} AND NOT payload_generated)
            message(FATAL_ERROR "nuben_add_bootstrapper: payload '${payload}' is neither a target nor a file")
        endif()
    endif()

    # DEPENDS on a target name gives both the build order and a file-level
    # dependency on the target's output, so a relinked payload is re-copied.
    add_custom_command(
        OUTPUT ${dir}/setup_file.bin
        COMMAND ${CMAKE_COMMAND} -E copy ${payload_file} ${dir}/setup_file.bin
        DEPENDS ${payload}
        COMMENT "Payload of ${target}: ${payload}"
        VERBATIM)

    configure_file(${resources_dir}/NuBenSetup.rc ${dir}/NuBenSetup.rc COPYONLY)
    # windres does not report the files a script embeds; name them here so
    # the resource object is rebuilt when the payload, the manifest or the
    # icon changes.
    set_source_files_properties(${dir}/NuBenSetup.rc PROPERTIES
        OBJECT_DEPENDS "${dir}/setup_file.bin;${resources_dir}/NuBenSetup.manifest;${resources_dir}/nuben.ico"
        INCLUDE_DIRECTORIES "${dir};${resources_dir}")
    set_source_files_properties(${dir}/setup_file.bin PROPERTIES HEADER_FILE_ONLY ON)

    add_executable(${target} WIN32
        $<TARGET_OBJECTS:nuben_winmain> ${dir}/NuBenSetup.rc ${dir}/setup_file.bin)
    target_link_libraries(${target} PRIVATE nuben_logic nuben_win32_platform)
    # One thread: libgcc and libstdc++ of the win32 thread model, searched
    # before the compiler's own (see cmake/mingw-i686.cmake).
    # The link map tells the release check what the runtime contributed.
    target_link_options(${target} PRIVATE -Wl,-Map=${dir}/${target}.map)
    if(NUBEN_WIN32_THREADS_RUNTIME_DIR)
        target_link_directories(${target} BEFORE PRIVATE ${NUBEN_WIN32_THREADS_RUNTIME_DIR})
    endif()

    # The payload's section starts on a page boundary in the file, so that a
    # loader can map it instead of reading it all at start-up (see the script).
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${Python3_EXECUTABLE} ${resources_dir}/align_resources.py $<TARGET_FILE:${target}>
        VERBATIM)

    string(REGEX REPLACE "\\.[eE][xX][eE]$" "" output_base "${output_name}")
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output_base} SUFFIX ".exe")
endfunction()
