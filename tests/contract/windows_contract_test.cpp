// CloseAppWindows against real windows whose titles an ANSI program set from
// the product's code page 949 bytes, whatever the system's code page is.
#include <gtest/gtest.h>

#include <string>

#include "contract_env.h"
#include "u_Global/texts.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

TEST(WindowsContract, AnAnsiProgramsTitleMatchesAndItsNearMissesDoNot) {
    ContractEnv& env = Env();
    const std::string title = texts::kProductName;
    const WindowHandle main = env.MakeAnsiWindow("TfrmNuBen", title);
    const WindowHandle longer = env.MakeAnsiWindow("TfrmNuBen", title + " ");
    const WindowHandle otherClass = env.MakeAnsiWindow("TfrmNuBenX", title);
    const WindowHandle report = env.MakeAnsiWindow("tfrmrepmain", texts::kReportToolTitle);
    EXPECT_TRUE(CloseAppWindows(env.os(), "TfrmNuBen", title));
    EXPECT_TRUE(CloseAppWindows(env.os(), "TfrmRepMain", texts::kReportToolTitle));
    EXPECT_TRUE(env.ToldToQuit(main)) << env.name();
    EXPECT_TRUE(env.ToldToQuit(report)) << env.name();
    EXPECT_FALSE(env.ToldToQuit(longer)) << env.name();
    EXPECT_FALSE(env.ToldToQuit(otherClass)) << env.name();
}

}  // namespace
}  // namespace nuben::contract
