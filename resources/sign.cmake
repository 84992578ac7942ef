# cmake -DOSSLSIGNCODE=... -DCERT=... -DKEY=... [-DTIMESTAMP_URL=...]
#       -DIN=<exe> -DOUT=<signed exe> -P sign.cmake
# Signs IN with Authenticode, SHA-256, into OUT. The signing time is read
# here, at build time: $SOURCE_DATE_EPOCH when set, so that two builds of
# the same inputs sign byte-identically (with an RSA key, whose PKCS#1 v1.5
# signatures are deterministic); otherwise the current time. A time-stamp
# server's answer differs every time, so a time-stamped build never repeats.
cmake_minimum_required(VERSION 3.16)
set(args sign -h sha256 -certs "${CERT}" -key "${KEY}")
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
