// The bootstrapper's own texts, as code page 949 bytes (texts.cpp is
// compiled with -fexec-charset=CP949).
#pragma once

namespace nuben::texts {

extern const char* const kCaption;  // "알림"
extern const char* const kBetaQuestion;
extern const char* const kBetaBlocked;
extern const char* const kV20Question;
extern const char* const kV20Blocked;

extern const char* const kProductName;      // "누벤": display name and main window title
extern const char* const kV20Registration;  // "누벤 2.0": uninstall key and Start-menu group
extern const char* const kShortcutName;     // "누벤.lnk"
extern const char* const kReportToolTitle;  // "누벤 신고하기"

}  // namespace nuben::texts
