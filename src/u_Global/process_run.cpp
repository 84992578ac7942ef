#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {
namespace {

// How often the job is asked whether the hand-over is still at work.
constexpr std::uint32_t kJobPollMs = 100;

}  // namespace

bool RunAndWait(Platform& os, const std::string& commandLine, std::uint16_t showCommand,
                const std::function<bool()>& stillPending) {
    ProcessStart request;
    request.commandLine = commandLine;  // as registered: nothing quoted or added
    request.inheritHandles = false;
    request.creationFlags = kNormalPriorityClass;
    request.startup.size = kStartupInfoSize;
    request.startup.flags = kStartfUseShowWindow;
    request.startup.showWindow = showCommand;

    // The job sees every process the program starts, so a hand-over to a
    // copy in the temp folder can be waited for. It only allows breakaway, so
    // that a child asked to leave it still starts; no limit ends anything:
    // closing it must never end what the uninstaller leaves running.
    unique_handle job;
    if (stillPending) job = unique_handle(os, os.NewJob(kJobObjectLimitBreakawayOk));
    // Started suspended, so that it cannot start anything before it is in the job.
    if (job) request.creationFlags |= kCreateSuspended;

    StartedProcess started;
    if (!os.StartProcess(request, &started)) return false;
    unique_process_information info;
    info.process = unique_handle(os, started.process);
    info.thread = unique_handle(os, started.thread);

    if (job) {
        // Refused when this program runs in a job that forbids nesting:
        // then only the started process is waited for, as without a job.
        if (!os.PutProcessInJob(job.get(), info.process.get())) job.reset();
        // A process that cannot be let run never ends: waiting for it
        // would hang for good, and left suspended it would linger for good.
        // It did nothing, so it is ended and counts as not started.
        if (!os.ResumeStartedThread(info.thread.get())) {
            os.EndStartedProcess(info.process.get());
            return false;
        }
    }

    // Neither wait's result matters: if the input-idle wait returns at once
    // (a console program) or fails, the wait for the end still follows.
    os.WaitUntilInputIdle(info.process.get(), kInfinite);
    os.WaitUntilSignalled(info.process.get(), kInfinite);

    // `stillPending` may rewrite the string `commandLine` refers to; it is
    // not read from here on.
    while (job && stillPending()) {
        std::uint32_t active = 0;
        if (!os.CountJobProcesses(job.get(), &active) || active == 0) break;
        os.Pause(kJobPollMs);
    }
    return true;
}

}  // namespace nuben
