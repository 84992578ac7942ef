# cmake -DEXE=... -DOBJDUMP=... -P check_imports.cmake
# The bootstrapper is downloaded and started from folders such as Downloads,
# where anyone may have left a DLL. It may import only DLLs that Windows
# always takes from the system folder; the C++ runtime is linked in, and
# user32, shell32 and ole32 are loaded by name on first use.
cmake_minimum_required(VERSION 3.16)
set(allowed KERNEL32.DLL ADVAPI32.DLL MSVCRT.DLL)
execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "release_imports: ${OBJDUMP} -p ${EXE} failed (${rc})")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
if(NOT lines)
    message(FATAL_ERROR "release_imports: no import table found in ${EXE}")
endif()
set(seen "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOUPPER "${dll}" dll)
    list(APPEND seen ${dll})
    if(NOT dll IN_LIST allowed)
        message(FATAL_ERROR "release_imports: NuBenSetup.exe imports ${dll}, which a planted copy next to it could replace (allowed: ${allowed})")
    endif()
endforeach()
message("NuBenSetup.exe imports: ${seen}")
