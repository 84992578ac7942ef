// Tells which of the system's message-box icons a window shows, by its
// pixels. A box's icon handle belongs to the box's process and cannot be
// inspected from another one, but what the screen shows can: the icon
// control's area is compared with each standard icon drawn here on the
// same background.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

struct IconMatch {
    std::string name;       // "question", "error", "information", "warning" or "unclear"
    std::string distances;  // "question:N,error:N,..." for the log
};

// `area` in screen coordinates; the window must be visible and painted.
IconMatch MatchSystemIcon(const RECT& area);

}  // namespace e2e
