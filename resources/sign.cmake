# cmake -DOSSLSIGNCODE=... -DCERT=... -DKEY=<PEM file, or pkcs11: URI>
#       [-DPKCS11_MODULE=<module> [-DPIN_FILE=...]] [-DTIMESTAMP_URL=...]
#       -DIN=<exe> -DOUT=<signed exe> -P sign.cmake
# Signs IN with Authenticode, SHA-256, into OUT. With PKCS11_MODULE the key
# is a PKCS#11 URI, used through OpenSSL's pkcs11 engine, which osslsigncode
# finds by name (bookworm's 2.5 fails to load it given by path). The
# signing time is read here, at build time: $SOURCE_DATE_EPOCH when set, so
# that two builds of the same inputs sign byte-identically (with an RSA
# key, whose PKCS#1 v1.5 signatures are deterministic, in a file or a
# token alike); otherwise the current time. A time-stamp server's answer
# differs every time, so a time-stamped build never repeats.
cmake_minimum_required(VERSION 3.16)
set(args sign -h sha256 -certs "${CERT}" -key "${KEY}")
if(PKCS11_MODULE)
    list(APPEND args -pkcs11module "${PKCS11_MODULE}")
    if(PIN_FILE)
        list(APPEND args -readpass "${PIN_FILE}")
    endif()
endif()
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoch STREQUAL "")
    if(NOT epoch MATCHES "^[0-9]+$")
        message(FATAL_ERROR "sign.cmake: SOURCE_DATE_EPOCH is not a number of seconds: '${epoch}'")
    endif()
    list(APPEND args -time ${epoch})
endif()
if(TIMESTAMP_URL)
    list(APPEND args -ts "${TIMESTAMP_URL}")
endif()
# No copy of an earlier build may stay behind looking signed and current.
file(REMOVE "${OUT}" "${OUT}.signing")
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} -in "${IN}" -out "${OUT}.signing"
    RESULT_VARIABLE rc OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT rc EQUAL 0)
    file(REMOVE "${OUT}.signing")
    message(FATAL_ERROR "sign.cmake: osslsigncode could not sign ${IN} (${rc}):\n${output}")
endif()
file(RENAME "${OUT}.signing" "${OUT}")
