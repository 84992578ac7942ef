// One run of the launch sequence on a fresh machine, with at most one call
// made to fail or to answer oddly, and the quiet-behaviour checks applied.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "scenarios.h"

namespace nuben::fault {

struct FaultPlan {
    std::size_t call = 0;  // 0: an undisturbed run
    bool fail = false;
    bool odd = false;
    fake::OddData kind = fake::OddData::kEmpty;
};

struct LaunchRun {
    std::unique_ptr<fake::FakePlatform> os;
    std::vector<std::string> breaches;
};

// Far more calls than any road makes: a run beyond it is stuck in a loop.
constexpr std::size_t kCallBudget = 200000;

LaunchRun RunLaunch(const Scenario& scenario, const FaultPlan& plan);

using fake::Printable;

// "call #12 QueryRegistryValue(HKLM\... [DisplayName] data) answers garbage"
std::string Describe(const FaultPlan& plan, const fake::CallRecord& call);

}  // namespace nuben::fault
