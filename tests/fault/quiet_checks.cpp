#include "quiet_checks.h"

#include <algorithm>

#include "expected_boxes.h"
#include "launch_run.h"
#include "machine.h"

namespace nuben::fault {
namespace {

enum class Box { kAskBeta, kBetaRefused, kAsk20, k20Refused, kUnknown };

Box Classify(const fake::BoxRecord& box) {
    using namespace test;
    if (box.text == kBetaQuestion && box.style == kQuestionStyle) return Box::kAskBeta;
    if (box.text == kBetaBlocked && box.style == kErrorStyle) return Box::kBetaRefused;
    if (box.text == kV20Question && box.style == kQuestionStyle) return Box::kAsk20;
    if (box.text == kV20Blocked && box.style == kInfoStyle) return Box::k20Refused;
    return Box::kUnknown;
}

std::string StripQuotes(const std::string& text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

// The boxes a run may show, by layout: nothing, a declined question, an
// accepted one, or an accepted beta question followed by the refusal; on
// the 2.0 road the refusal follows a question that was not a Yes.
bool AllowedBoxes(Layout layout, const std::vector<Box>& boxes, const std::vector<int>& answers) {
    if (boxes.empty()) return true;
    const bool yes = answers[0] == kIdYes;
    switch (layout) {
        case Layout::kNothing:
            return false;
        case Layout::kBeta:
            return boxes[0] == Box::kAskBeta &&
                   (boxes.size() == 1 ||
                    (boxes.size() == 2 && yes && boxes[1] == Box::kBetaRefused));
        case Layout::kVersion20:
            return boxes[0] == Box::kAsk20 &&
                   ((boxes.size() == 1 && yes) ||
                    (boxes.size() == 2 && !yes && boxes[1] == Box::k20Refused));
    }
    return false;
}

// "class|text#n" as the fake describes a window.
bool IsWindowOf(const std::string& description, const std::string& upperClass,
                const std::string& title) {
    const std::size_t bar = description.find('|');
    const std::size_t hash = description.rfind('#');
    if (bar == std::string::npos || hash == std::string::npos || hash < bar) return false;
    return AsciiUpper(description.substr(0, bar)) == upperClass &&
           description.substr(bar + 1, hash - bar - 1) == title;
}

}  // namespace

MachineBefore Capture(const fake::FakePlatform& os) {
    return MachineBefore{os.FileState(), os.RegistryState()};
}

void CheckCall(const fake::FakePlatform& os, const fake::CallRecord& call, RunEvidence* evidence) {
    const std::string& operation = call.operation;
    if (operation == "DesktopWindow") evidence->wentOn = true;
    const bool removes = operation == "RemoveFile" || operation == "RemoveEmptyDirectory";
    if (operation == "PutProcessInJob") evidence->boundTried = true;
    if (operation != "OpenFileToHold" && operation != "StartProcess" && !removes &&
        operation != "PostMessageTo" && operation != "DeleteRegistryKey")
        return;
    const std::string path = StripQuotes(call.subject);
    const bool installer = IsInstallerFile(path);
    if (operation == "OpenFileToHold" && installer) evidence->heldInstaller = path;
    if (operation == "StartProcess" && installer) {
        const std::string bytes = os.FileBytes(path);
        if (bytes != test::InstallerBytes()) {
            evidence->atStart.push_back(
                "installer started from a file of " + std::to_string(bytes.size()) +
                " bytes, not the payload's " + std::to_string(test::InstallerBytes().size()));
        }
        // Held by the program, which it can only be once nothing writes to it.
        if (!os.IsOpen(path))
            evidence->atStart.push_back("installer started while nothing holds its file");
        return;
    }
    // Nothing is told to quit, run or removed before the installer is held
    // whole, started suspended and bound to the run (where a job would take it).
    const std::string& held = evidence->heldInstaller;
    if ((removes || operation == "StartProcess") && installer) return;
    const auto& starts = os.Starts();
    const bool suspended = std::any_of(starts.begin(), starts.end(), [&](const auto& start) {
        return IsInstallerFile(start.program) && os.Suspended(start);
    });
    if (operation != "OpenFileToHold" &&
        (held.empty() || !os.IsOpen(held) || !suspended || !evidence->boundTried ||
         os.FileBytes(held) != test::InstallerBytes())) {
        evidence->atStart.push_back(
            operation +
            " before the installer was held, started and bound: " + Printable(call.subject));
    }
}

std::vector<std::string> QuietBehaviourBreaches(const Scenario& scenario,
                                                const fake::FakePlatform& os,
                                                const MachineBefore& before,
                                                const RunEvidence& evidence) {
    std::vector<std::string> breaches = evidence.atStart;
    if (evidence.threw) breaches.push_back("an exception escaped: " + evidence.exception);
    if (os.BudgetExceeded()) breaches.push_back("runaway: the call budget was exceeded");
    if (os.OpenHandleCount() != 0) {
        breaches.push_back(std::to_string(os.OpenHandleCount()) + " handle(s) left open");
    }
    if (os.BadCloseCount() != 0) {
        breaches.push_back(std::to_string(os.BadCloseCount()) + " close(s) of handles not open");
    }

    // --- Boxes and consent.
    std::vector<Box> boxes;
    std::vector<int> answers;
    for (const fake::BoxRecord& box : os.Boxes()) {
        boxes.push_back(Classify(box));
        answers.push_back(box.answer);
        if (box.owner != 0 || box.caption != test::kCaption || boxes.back() == Box::kUnknown) {
            breaches.push_back("a box that is not one of the four specified ones");
        }
    }
    if (!AllowedBoxes(scenario.layout, boxes, answers)) breaches.push_back("boxes out of order");
    const bool betaYes = !boxes.empty() && boxes[0] == Box::kAskBeta && answers[0] == kIdYes;
    const bool v20Yes = !boxes.empty() && boxes[0] == Box::kAsk20 && answers[0] == kIdYes;
    const bool declinedOrBlocked =
        (!boxes.empty() && !betaYes && !v20Yes) ||
        std::find(boxes.begin(), boxes.end(), Box::kBetaRefused) != boxes.end();

    // --- Files: removed or changed only inside the 2.0 targets, after a Yes.
    const auto files = os.FileState();
    for (const auto& entry : before.files) {
        const auto now = files.find(entry.first);
        if (now != files.end() && now->second == entry.second) continue;
        const std::string what = now == files.end() ? "removed " : "changed ";
        if (!IsVersion20FileTarget(entry.first)) {
            breaches.push_back(what + "outside the targets: " + Printable(entry.first));
        } else if (!v20Yes) {
            breaches.push_back(what + "without a Yes: " + Printable(entry.first));
        }
    }
    for (const auto& entry : files) {
        if (before.files.count(entry.first) == 0 && !IsInstallerFile(entry.first)) {
            breaches.push_back("created: " + Printable(entry.first));
        }
    }

    // --- Registry: the 2.0 keys only after the 2.0 Yes, the beta's only
    // after the beta Yes (its uninstaller removes them), nothing else ever.
    const auto keys = os.RegistryState();
    for (const auto& entry : before.keys) {
        const auto now = keys.find(entry.first);
        if (now != keys.end() && now->second == entry.second) continue;
        const std::string what = now == keys.end() ? "key removed " : "key changed ";
        if (IsVersion20KeyTarget(entry.first)) {
            if (!v20Yes) breaches.push_back(what + "without a Yes: " + Printable(entry.first));
        } else if (IsBetaKeyTarget(entry.first)) {
            if (!betaYes) breaches.push_back(what + "without a Yes: " + Printable(entry.first));
        } else {
            breaches.push_back(what + "outside the targets: " + Printable(entry.first));
        }
    }
    for (const auto& entry : keys) {
        if (before.keys.count(entry.first) == 0)
            breaches.push_back("key created: " + Printable(entry.first));
    }

    // --- Windows told to quit: the product's own, and only after a Yes.
    for (const fake::PostRecord& post : os.Posts()) {
        const std::string window = os.Describe(post.window);
        const bool mainWindow = IsWindowOf(window, "TFRMNUBEN", "누벤");
        const bool reportTool = IsWindowOf(window, "TFRMREPMAIN", "누벤 신고하기");
        if (post.message != kWmQuit || post.wParam != 0 || post.lParam != 0) {
            breaches.push_back("a message other than WM_QUIT posted to " + Printable(window));
        } else if (!((betaYes || v20Yes) && mainWindow) && !(v20Yes && reportTool)) {
            breaches.push_back("told to quit without cause: " + Printable(window));
        }
    }

    // --- Programs started: the beta's uninstaller only after its Yes, the
    // installer only on a road that goes on to delivery, each at most once.
    int installers = 0;
    int uninstallers = 0;
    for (const fake::StartRecord& start : os.Starts()) {
        if (IsInstallerFile(start.program)) {
            ++installers;
            if (declinedOrBlocked && os.Ran(start))
                breaches.push_back("installer let run after a No or a refusal");
            if (os.Suspended(start)) breaches.push_back("installer left suspended");
        } else {
            ++uninstallers;
            if (!betaYes)
                breaches.push_back("started without a Yes: " +
                                   Printable(start.request.commandLine));
            const ProcessStart& request = start.request;
            if (!request.applicationName.empty() || request.inheritHandles ||
                (request.creationFlags & ~0x4u) != 0x20 || request.startup.size != 68 ||
                request.startup.flags != 1 || request.startup.showWindow != 1) {
                breaches.push_back("uninstaller started with other start-up values");
            }
        }
    }
    if (installers > 1) breaches.push_back("installer started more than once");
    if (uninstallers > 1) breaches.push_back("uninstaller started more than once");

    // --- The pause belongs to the 2.0 road after its Yes; the beta road
    // after its Yes may poll the uninstaller's job.
    std::vector<std::uint32_t> pause =
        v20Yes && evidence.wentOn ? std::vector<std::uint32_t>{1000} : std::vector<std::uint32_t>{};
    if (betaYes) pause.resize(os.Pauses().size(), 100);
    if (os.Pauses() != pause)
        breaches.push_back("pauses other than the one second after the 2.0 Yes and its delivery");
    return breaches;
}

}  // namespace nuben::fault
