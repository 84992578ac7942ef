#include "launch_run.h"

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
    os.OnEveryCall(
        [&os, &evidence](const fake::CallRecord& call) { CheckCall(os, call, &evidence); });

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

std::string Describe(const FaultPlan& plan, const fake::CallRecord& call) {
    const std::string subject = call.subject.size() > 120
                                    ? Printable(call.subject.substr(0, 120)) + "..."
                                    : Printable(call.subject);
    return "call #" + std::to_string(call.number) + " " + call.operation + "(" + subject + ") " +
           (plan.fail ? std::string("fails")
                      : std::string("answers ") + fake::OddDataName(plan.kind));
}

}  // namespace nuben::fault
