#include "main/launch_sequence.h"

#include "u_Global/texts.h"

namespace nuben {
namespace {

constexpr WindowHandle kNoOwner = 0;
constexpr const char* kMainWindowClass = "TfrmNuBen";
constexpr const char* kReportToolClass = "TfrmRepMain";

// Only an explicit Yes is consent to remove a user's installation: a box
// that failed to show (0) is treated like No.
bool UserAgrees(Platform& os, const char* question) {
    return os.ShowMessageBox(kNoOwner, question, texts::kCaption, kQuestionBoxStyle) == kIdYes;
}

void Tell(Platform& os, const char* message, std::uint32_t style) {
    os.ShowMessageBox(kNoOwner, message, texts::kCaption, style);
}

}  // namespace

void RunLaunchSequence(GlobalState& g) {
    Platform& os = g.os;
    // A copy started twice (a double click twice, a slow start) must not ask
    // twice, remove twice or write the installer under the other's start.
    unique_handle soleRun;
    if (!ClaimSoleRun(os, &soleRun)) return;
    // The earlier version goes only once its successor is written, held,
    // checked and started suspended: a delivery that fails (a full disk, a
    // locked file, a start refused by a policy or a scanner) ends the run
    // before anything is closed or removed. The installer runs only after.
    DeliveredInstaller installer;
    if (IsBetaInstalled(g)) {
        if (!UserAgrees(os, texts::kBetaQuestion)) return;
        if (!(installer = DeliverInstaller(g))) return;
        CloseAppWindows(os, kMainWindowClass, texts::kProductName);
        RunAndWait(os, g.UninstallCommand, kSwShowNormal, [&g] { return IsBetaInstalled(g); });
        // The beta's own uninstaller decides; if its registration is still
        // there, installing over it is not safe.
        if (IsBetaInstalled(g)) {
            installer.Drop(os);
            Tell(os, texts::kBetaBlocked, kBetaBlockedBoxStyle);
            return;
        }
    } else if (IsVersion20Installed(g)) {
        if (!UserAgrees(os, texts::kV20Question)) {
            Tell(os, texts::kV20Blocked, kV20BlockedBoxStyle);
            return;
        }
        if (!(installer = DeliverInstaller(g))) return;
        CloseAppWindows(os, kMainWindowClass, texts::kProductName);
        CloseAppWindows(os, kReportToolClass, texts::kReportToolTitle);
        // Give the product's programs a moment to quit before their files go.
        os.Pause(kV20ClosePauseMs);
        RemoveVersion20(g);
    } else {
        installer = DeliverInstaller(g);
    }
    installer.LetRun(os);
}

}  // namespace nuben
