#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben {

bool RunAndWait(Platform& os, const std::string& commandLine, std::uint16_t showCommand) {
    ProcessStart request;
    request.commandLine = commandLine;  // as registered: nothing quoted or added
    request.inheritHandles = false;
    request.creationFlags = NORMAL_PRIORITY_CLASS_FLAG;
    request.startup.size = STARTUPINFO_SIZE;
    request.startup.flags = STARTF_USESHOWWINDOW_FLAG;
    request.startup.showWindow = showCommand;

    StartedProcess started;
    if (!os.StartProcess(request, &started)) return false;
    unique_process_information info;
    info.process = unique_handle(os, started.process);
    info.thread = unique_handle(os, started.thread);

    // Neither wait's result matters: if the input-idle wait returns at once
    // (a console program) or fails, the wait for the end still follows.
    os.WaitUntilInputIdle(info.process.get(), INFINITE_WAIT);
    os.WaitUntilSignalled(info.process.get(), INFINITE_WAIT);
    return true;
}

}  // namespace nuben
