#include "launch_run.h"

#include <cstdio>
#include <exception>

#include "main/launch_sequence.h"
#include "quiet_checks.h"

namespace nuben::fault {

LaunchRun RunLaunch(const Scenario& scenario, const FaultPlan& plan) {
    LaunchRun run;
    run.os = std::make_unique<fake::FakePlatform>();
    fake::FakePlatform& os = *run.os;
    Furnish(os, scenario);
    const MachineBefore before = Capture(os);

    if (plan.fail) os.FailCall(plan.call);
    if (plan.odd) os.CorruptCall(plan.call, plan.kind);
    os.SetCallBudget(kCallBudget);
    RunEvidence evidence;
    os.OnEveryCall([&os, &evidence](const fake::CallRecord& call) {
        if (call.operation == "StartProcess") CheckInstallerAtStart(os, call.subject, &evidence);
    });

    GlobalState g(os);
    try {
        RunLaunchSequence(g);
    } catch (const std::exception& error) {
        evidence.threw = true;
        evidence.exception = error.what();
    } catch (...) {
        evidence.threw = true;
        evidence.exception = "(not a std::exception)";
    }
    os.OnEveryCall(nullptr);
    run.breaches = QuietBehaviourBreaches(scenario, os, before, evidence);
    return run;
}

std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Describe(const FaultPlan& plan, const fake::CallRecord& call) {
    const std::string subject =
        call.subject.size() > 120 ? Printable(call.subject.substr(0, 120)) + "..." : Printable(call.subject);
    return "call #" + std::to_string(call.number) + " " + call.operation + "(" + subject + ") " +
           (plan.fail ? std::string("fails") : std::string("answers ") + fake::OddDataName(plan.kind));
}

}  // namespace nuben::fault
