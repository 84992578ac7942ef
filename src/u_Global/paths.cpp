#include <cstdint>

#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {

std::string AsciiUpper(const std::string& text) {
    std::string upper = text;
    // Byte-wise on purpose: trail bytes in a-z are upper-cased too, the
    // same on both sides of every comparison that uses this.
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string WithTrailingBackslash(Platform& os, const std::string& path) {
    if (path.empty() || path.back() != '\\') return path + '\\';
    if (os.IsDbcsEnabled()) {
        // In a double-byte code page 0x5C can be the second byte of a
        // character. It is one when an odd run of lead-byte values stands
        // right before it: then it belongs to the last of them.
        std::size_t run = 0;
        for (std::size_t i = path.size() - 1; i-- > 0;) {
            if (!os.IsLeadByte(static_cast<std::uint8_t>(path[i]))) break;
            ++run;
        }
        if (run % 2 == 1) return path + '\\';
    }
    return path;
}

bool FolderExists(Platform& os, const std::string& path) {
    const std::uint32_t attributes = os.FileAttributesOf(path);
    return attributes != kInvalidFileAttributes && (attributes & kFileAttributeDirectory) != 0;
}

bool IsExistingFile(Platform& os, const std::string& path) {
    FindEntry entry;
    const unique_hfind find(os, os.FindFirstEntry(path, &entry));
    if (!find) return false;
    return (entry.attributes & kFileAttributeDirectory) == 0 &&
           os.ConvertsToLocalDosTime(entry.lastWriteTime);
}

}  // namespace nuben
