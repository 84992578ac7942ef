// Byte scans over ANSI text that know where double-byte characters start.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace nuben {

// True when `text` holds one of `chars` as a character of its own. The
// second byte of a double-byte character is skipped: in some code pages it
// can be 0x5C and is no backslash there.
inline bool HoldsSingleByte(Platform& os, const std::string& text, const char* chars) {
    const bool dbcs = os.IsDbcsEnabled();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (dbcs && os.IsLeadByte(static_cast<std::uint8_t>(text[i]))) {
            ++i;
        } else if (text[i] != '\0' && std::strchr(chars, text[i]) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace nuben
