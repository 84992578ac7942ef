// Writing a resource to a file, as delivery does, on the real file system.
#include <gtest/gtest.h>

#include <string>

#include "contract_env.h"
#include "platform/handles.h"
#include "u_Global/u_Global.h"

namespace nuben::contract {
namespace {

class ExtractContract : public ::testing::Test {
  protected:
    ContractEnv& env_ = Env();
    Platform& os_ = env_.os();
    const std::string target_ = env_.ScratchFolder() + "nuben setup.exe";
};

TEST_F(ExtractContract, WritesThePayloadByteForByteAndLetsTheFileGo) {
    env_.MakeFile(target_, std::string(10000, 'x'));  // longer than the payload: replaced whole
    {
        ExpectNoHandleLeak guard(env_);
        ASSERT_TRUE(
            ExtractResourceToFile(os_, env_.ModuleWithPayload(), "EXE", kPayloadName, target_))
            << env_.name();
    }
    EXPECT_EQ(PayloadBytes(), env_.ReadFileBytes(target_));
    // Deleting it works only when no handle was left open.
    EXPECT_TRUE(os_.RemoveFile(target_));
}

// The resource calls delivery stands on, one by one.
TEST_F(ExtractContract, TheResourceCallsFindThePayloadWithItsBytes) {
    const ModuleHandle module = env_.ModuleWithPayload();
    EXPECT_EQ(0u, os_.FindResourceIn(module, "NO_SUCH_RESOURCE", "EXE"));
    const ResourceInfo info = os_.FindResourceIn(module, kPayloadName, "EXE");
    ASSERT_NE(0u, info);
    const ResourceData data = os_.LoadResourceData(module, info);
    ASSERT_NE(0u, data);
    const std::string expected = PayloadBytes();
    ASSERT_EQ(expected.size(), os_.ResourceSize(module, info));
    const void* bytes = os_.LockResourceData(data);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(expected, std::string(static_cast<const char*>(bytes), expected.size()));
    os_.ReleaseResourceData(data);
}

TEST_F(ExtractContract, AMissingResourceWritesNothing) {
    ExpectNoHandleLeak guard(env_);
    EXPECT_FALSE(
        ExtractResourceToFile(os_, env_.ModuleWithPayload(), "EXE", "NO_SUCH_PAYLOAD", target_));
    EXPECT_FALSE(env_.Exists(target_));
}

TEST_F(ExtractContract, ATargetHeldOpenIsLeftAsItWas) {
    env_.MakeFile(target_, "running installer");
    {
        auto held = env_.HoldOpen(target_);
        ExpectNoHandleLeak guard(env_);
        EXPECT_FALSE(
            ExtractResourceToFile(os_, env_.ModuleWithPayload(), "EXE", kPayloadName, target_));
    }
    EXPECT_EQ("running installer", env_.ReadFileBytes(target_));
}

// A temp folder whose name code page 949 cannot spell (under a profile
// "José") is named exactly, never by a lookalike, and held, written in,
// checked, started in and made current as Windows names it; the paths given
// for a system that cannot say are not used.
TEST_F(ExtractContract, AFolderNamedBeyondCodePage949IsWorkedInAsWindowsNamesIt) {
    env_.MakeTempFolderUtf16(u"Temp Jos\u00e9");
    const std::string program = env_.MarkingProgram("probe.exe");
    const std::string nowhere = "C:\\NoSuchFolder\\";
    ExpectNoHandleLeak guard(env_);
    const std::string temp = env_.ScratchFolder() + "Temp Jos?00E9";
    EXPECT_EQ(temp + "\\", os_.TempFolderPath()) << env_.name();
    const unique_hfile folder(os_, os_.HoldTempFolder());
    ASSERT_TRUE(folder.valid()) << env_.name();
    std::string final = "unset";
    os_.FinalPathOfHeld(folder.get(), &final);
    EXPECT_EQ(temp, final) << env_.name();
    std::uint32_t error = 0;
    std::uint32_t count = 0;
    {
        const unique_hfile file(os_,
                                os_.CreateNewFileIn(folder.get(), nowhere, "probe.exe", &error));
        ASSERT_TRUE(file.valid()) << error;
        const auto size = static_cast<std::uint32_t>(program.size());
        EXPECT_TRUE(os_.WriteToFile(file.get(), program.data(), size, &count));
    }
    EXPECT_EQ(kInvalidHandle, os_.CreateNewFileIn(folder.get(), nowhere, "probe.exe", &error));
    EXPECT_EQ(static_cast<std::uint32_t>(kErrorFileExists), error);
    unique_hfile held(os_, os_.OpenFileToHoldIn(folder.get(), nowhere, "probe.exe", &error));
    ASSERT_TRUE(held.valid()) << error;
    std::string back(program.size() + 1, '\0');
    ASSERT_TRUE(
        os_.ReadFromFile(held.get(), &back[0], static_cast<std::uint32_t>(back.size()), &count));
    EXPECT_EQ(program, back.substr(0, count));

    ProcessStart request;
    request.program = held.get();
    request.currentFolder = folder.get();
    request.applicationName = nowhere + "probe.exe";
    request.commandLine = "\"" + request.applicationName + "\"";
    request.currentDirectory = nowhere;
    request.startup = {kStartupInfoSize, kStartfUseShowWindow, kSwShowNormal};
    StartedProcess started;
    ASSERT_TRUE(os_.StartProcess(request, &started)) << started.error;
    {
        unique_process_information info;
        info.process = unique_handle(os_, started.process);
        info.thread = unique_handle(os_, started.thread);
        EXPECT_EQ(0u, os_.WaitUntilSignalled(started.process, 20000));
    }
    held.reset();
    EXPECT_TRUE(os_.RemoveEntryIn(folder.get(), nowhere, "started_here.txt"))
        << "the program ran there, with the folder current";
    EXPECT_TRUE(os_.RemoveEntryIn(folder.get(), nowhere, "probe.exe"));
    EXPECT_FALSE(os_.RemoveEntryIn(folder.get(), nowhere, "probe.exe"));
}

}  // namespace
}  // namespace nuben::contract
