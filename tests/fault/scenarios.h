// The six roads a run of the bootstrapper can take, each on a furnished
// machine with decoys beside every target: what must be removed only with
// the user's Yes, and what must never be removed at all.
#pragma once

#include <string>
#include <vector>

#include "fake_platform.h"

namespace nuben::fault {

enum class Layout { kNothing, kBeta, kVersion20 };

struct Scenario {
    const char* name;
    Layout layout;
    bool uninstallerRemovesBeta;  // the beta's uninstaller deletes its registration
    int answer;                   // the user's answer to the question; 0: none is asked
};

// Nothing installed; beta declined; beta accepted and removed; beta accepted
// and kept; 2.0 declined; 2.0 accepted.
const std::vector<Scenario>& LaunchPaths();

// A fresh machine in the scenario's state, with the answer queued.
void Furnish(fake::FakePlatform& os, const Scenario& scenario);

// What the run may remove, and only after the matching Yes. Paths are raw
// file paths ("C:\\...") or registry key paths ("HKLM\\...").
bool IsVersion20FileTarget(const std::string& path);
bool IsVersion20KeyTarget(const std::string& keyPath);
bool IsBetaKeyTarget(const std::string& keyPath);
// The installer the run writes: any file of that name, wherever the temp
// folder the platform named happens to be.
bool IsInstallerFile(const std::string& path);

// The files and keys of the 2.0 installation and of the beta, for checking
// that an undisturbed run removed them.
std::vector<std::string> Version20Files();
std::vector<std::string> Version20Keys();
std::string BetaKey();
// The beta's uninstall command line as registered.
std::string UninstallCommand();

}  // namespace nuben::fault
