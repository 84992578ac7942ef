// What every run must show, whatever failed or answered oddly on the way:
// nothing escaped, no box beyond the specified ones, no removal without a
// Yes and none outside the targets, every handle closed, and an installer
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
    // Breaches seen at the moment the installer was started.
    std::vector<std::string> atStart;
};

MachineBefore Capture(const fake::FakePlatform& os);

// Checks an installer start at the moment it is asked for: the file must
// hold every byte of the payload and be closed.
void CheckInstallerAtStart(const fake::FakePlatform& os, const std::string& commandLine,
                           RunEvidence* evidence);

// One line per breach; empty when the run was quiet.
std::vector<std::string> QuietBehaviourBreaches(const Scenario& scenario,
                                                const fake::FakePlatform& os,
                                                const MachineBefore& before,
                                                const RunEvidence& evidence);

}  // namespace nuben::fault
