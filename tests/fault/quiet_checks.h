// What every run must show, whatever failed or answered oddly on the way:
// nothing escaped, no box beyond the specified ones, no removal without a
// Yes and none outside the targets, nothing closed, run or removed before
// the installer is held whole, every handle closed, and an installer
// started only from a completely written file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "scenarios.h"

namespace nuben::fault {

struct MachineBefore {
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> keys;
};

struct RunEvidence {
    bool threw = false;
    std::string exception;
    // Breaches seen at the moment of a call (an installer start, a removal).
    std::vector<std::string> atStart;
    std::string heldInstaller;  // the installer file the program opened to hold
    bool boundTried = false;    // a job was asked to take a started process
    bool wentOn = false;        // the run went on past delivery to the windows
};

MachineBefore Capture(const fake::FakePlatform& os);

// Checks a call at the moment it is made: an installer start must find the
// file holding every byte of the payload and held; a window told to quit, an
// uninstaller started or anything removed must find the installer so already.
void CheckCall(const fake::FakePlatform& os, const fake::CallRecord& call, RunEvidence* evidence);

// One line per breach; empty when the run was quiet.
std::vector<std::string> QuietBehaviourBreaches(const Scenario& scenario,
                                                const fake::FakePlatform& os,
                                                const MachineBefore& before,
                                                const RunEvidence& evidence);

}  // namespace nuben::fault
