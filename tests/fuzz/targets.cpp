#include "checks.h"

namespace nuben::fuzz {

const std::vector<Target>& Targets() {
    static const std::vector<Target> targets = {
        {"trailing_backslash", CheckTrailingBackslash},
        {"ascii_upper", CheckAsciiUpper},
        {"folder_guard", CheckFolderGuard},
        {"read_text_value", CheckReadTextValue},
        {"delete_key_tree", CheckDeleteKeyTree},
    };
    return targets;
}

}  // namespace nuben::fuzz
