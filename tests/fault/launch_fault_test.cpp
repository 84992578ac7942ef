// Every road of the launch sequence, run once undisturbed and then once per
// platform call with that call failing, and once per read and odd answer
// with the read answering oddly. Each run must stay quiet (quiet_checks.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "launch_run.h"
#include "scenarios.h"

namespace nuben::fault {
namespace {}  // namespace

// Names the road in gtest's messages instead of dumping the struct's bytes.
void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

namespace {

struct Tally {
    std::size_t runs = 0;
    std::size_t failingCalls = 0;
    std::size_t oddAnswers = 0;
    std::size_t breachingRuns = 0;
};

Tally& Totals() {
    static Tally totals;
    return totals;
}

class TotalsPrinter : public ::testing::Environment {
  public:
    void TearDown() override {
        const Tally& t = Totals();
        std::printf(
            "[fault injection] total: %zu runs, %zu failing calls and %zu odd answers "
            "injected, %zu runs breached the quiet behaviour\n",
            t.runs, t.failingCalls, t.oddAnswers, t.breachingRuns);
    }
};
::testing::Environment* const kTotalsPrinter =
    ::testing::AddGlobalTestEnvironment(new TotalsPrinter);

// What an undisturbed run of each road does.
struct Road {
    std::size_t boxes;
    std::size_t posts;
    bool uninstallerRuns;
    bool delivers;
    bool betaKeyStays;
    bool version20Removed;
};

Road RoadOf(const Scenario& scenario) {
    const std::string name = scenario.name;
    if (name == "NothingInstalled") return {0, 0, false, true, false, false};
    if (name == "BetaDeclined") return {1, 0, false, false, true, false};
    if (name == "BetaAcceptedAndRemoved") return {1, 2, true, true, false, false};
    if (name == "BetaAcceptedAndKept") return {2, 2, true, false, true, false};
    if (name == "Version20Declined") return {2, 0, false, false, false, false};
    return {1, 3, false, true, false, true};  // Version20Accepted
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

std::string Cut(const std::string& text, std::size_t limit = 20000) {
    return text.size() > limit ? text.substr(0, limit) + "\n[... cut]" : text;
}

class LaunchFaultTest : public ::testing::TestWithParam<Scenario> {
  protected:
    struct Outcome {
        std::size_t runs = 0;
        std::size_t breachingRuns = 0;
        std::vector<std::string> lines;  // the first breaches, one a line
        std::string firstDump;
    };

    void Try(const FaultPlan& plan, const fake::CallRecord& call, Outcome* outcome) {
        const LaunchRun run = RunLaunch(GetParam(), plan);
        ++outcome->runs;
        std::vector<std::string> breaches = run.breaches;
        // Runs are deterministic: the call planned for must be the call the
        // undisturbed run made at that number, and the fault must have hit.
        const auto& calls = run.os->Calls();
        if (calls.size() < call.number || calls[call.number - 1].operation != call.operation ||
            run.os->FaultsApplied() != 1) {
            breaches.push_back("the planned fault did not hit its call");
        }
        if (breaches.empty()) return;
        ++outcome->breachingRuns;
        if (outcome->lines.size() < 40) {
            std::string line = Describe(plan, call) + ": " + breaches.front();
            if (breaches.size() > 1)
                line += " (and " + std::to_string(breaches.size() - 1) + " more)";
            outcome->lines.push_back(line);
        }
        if (outcome->firstDump.empty()) outcome->firstDump = Cut(run.os->Dump());
    }

    void Report(const char* kind, std::size_t calls, const Outcome& outcome, std::size_t* total) {
        Tally& totals = Totals();
        totals.runs += outcome.runs;
        *total += outcome.runs;
        totals.breachingRuns += outcome.breachingRuns;
        RecordProperty("platform_calls", static_cast<int>(calls));
        RecordProperty("runs", static_cast<int>(outcome.runs));
        RecordProperty("breaching_runs", static_cast<int>(outcome.breachingRuns));
        std::printf("[fault injection] %s: %zu platform calls, %zu runs with %s, %zu breached\n",
                    GetParam().name, calls, outcome.runs, kind, outcome.breachingRuns);
        EXPECT_EQ(0u, outcome.breachingRuns)
            << outcome.breachingRuns << " of " << outcome.runs << " runs with " << kind
            << " breached the quiet behaviour:" << Join(outcome.lines)
            << "\nThe machine after the first of them:\n"
            << outcome.firstDump;
    }
};

TEST_P(LaunchFaultTest, UndisturbedRunTakesItsRoad) {
    const Scenario& scenario = GetParam();
    const LaunchRun run = RunLaunch(scenario, {});
    const fake::FakePlatform& os = *run.os;
    EXPECT_TRUE(run.breaches.empty()) << Join(run.breaches);

    // Without this the fault runs would prove nothing about the road.
    const Road road = RoadOf(scenario);
    bool installerStarted = false;
    bool uninstallerStarted = false;
    for (const fake::StartRecord& start : os.Starts()) {
        installerStarted |= IsInstallerFile(start.program) && os.Ran(start);
        uninstallerStarted |= !IsInstallerFile(start.program);
    }
    EXPECT_EQ(road.boxes, os.Boxes().size());
    EXPECT_EQ(road.posts, os.Posts().size());
    EXPECT_EQ(road.uninstallerRuns, uninstallerStarted);
    EXPECT_EQ(road.delivers, installerStarted);
    if (scenario.layout == Layout::kBeta) {
        EXPECT_EQ(road.betaKeyStays, os.KeyExists(kHkeyLocalMachine, BetaKey().substr(5)));
    }
    if (scenario.layout == Layout::kVersion20) {
        for (const std::string& path : Version20Files()) {
            EXPECT_EQ(!road.version20Removed, os.Exists(path)) << path;
        }
        for (const std::string& key : Version20Keys()) {
            EXPECT_EQ(!road.version20Removed, os.KeyExists(kHkeyLocalMachine, key.substr(5)))
                << key;
        }
    }
    if (HasFailure()) std::fprintf(stderr, "%s", Cut(os.Dump()).c_str());
}

TEST_P(LaunchFaultTest, EveryCallFailingInTurnStaysQuiet) {
    const LaunchRun baseline = RunLaunch(GetParam(), {});
    ASSERT_TRUE(baseline.breaches.empty()) << Join(baseline.breaches);
    Outcome outcome;
    for (const fake::CallRecord& call : baseline.os->Calls()) {
        if (!fake::FakePlatform::CanFail(call.operation)) continue;
        FaultPlan plan;
        plan.call = call.number;
        plan.fail = true;
        Try(plan, call, &outcome);
    }
    Report("one failing call", baseline.os->Calls().size(), outcome, &Totals().failingCalls);
}

TEST_P(LaunchFaultTest, EveryReadAnsweringOddDataStaysQuiet) {
    const LaunchRun baseline = RunLaunch(GetParam(), {});
    ASSERT_TRUE(baseline.breaches.empty()) << Join(baseline.breaches);
    Outcome outcome;
    for (const fake::CallRecord& call : baseline.os->Calls()) {
        if (!call.answered) continue;
        for (const fake::OddData kind : fake::FakePlatform::OddDataFor(call.operation)) {
            FaultPlan plan;
            plan.call = call.number;
            plan.odd = true;
            plan.kind = kind;
            Try(plan, call, &outcome);
        }
    }
    Report("one odd answer", baseline.os->Calls().size(), outcome, &Totals().oddAnswers);
}

std::string RoadName(const ::testing::TestParamInfo<Scenario>& road) {
    return road.param.name;
}

INSTANTIATE_TEST_SUITE_P(Roads, LaunchFaultTest, ::testing::ValuesIn(LaunchPaths()), RoadName);

}  // namespace
}  // namespace nuben::fault
