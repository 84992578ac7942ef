// Compiled with -fexec-charset=CP949: the literals below are written in
// UTF-8 and stored as code page 949 bytes, the form MessageBoxA and the
// registry's ANSI functions expect on Korean systems.
#include "u_Global/texts.h"

namespace nuben::texts {

const char* const kCaption = "알림";

// The line break is LF then CR, in that order: the product's earlier
// versions wrote it so and the boxes are kept as users know them.
const char* const kBetaQuestion =
    "누벤 베타버전이 이미 설치되어 있습니다.\n\r"
    "기존의 누벤을 제거하고 누벤 2.1을 설치하시겠습니까?";
const char* const kBetaBlocked =
    "누벤 베타버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다.";
const char* const kV20Question =
    "누벤 2.0 버전이 이미 설치되어 있습니다.\n\r"
    "기존의 누벤을 제거하고 누벤 2.1을 설치하시겠습니까?";
const char* const kV20Blocked =
    "누벤 2.0 버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다.";

const char* const kProductName = "누벤";
const char* const kV20Registration = "누벤 2.0";
const char* const kShortcutName = "누벤.lnk";
const char* const kReportToolTitle = "누벤 신고하기";

}  // namespace nuben::texts
