// A first contract slice: registry open/missing/delete, a file round trip,
// the payload resource and the sleeper program. Every expectation here is
// what Windows does; the fake must do the same.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "contract_env.h"

namespace nuben::contract {
namespace {

constexpr std::uint32_t kKeyRead = 0x20019;       // KEY_READ
constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // KEY_ALL_ACCESS
constexpr std::uint32_t kRegSz = 1;               // REG_SZ
constexpr std::uint32_t kReadOnly = 0x1;          // FILE_ATTRIBUTE_READONLY
constexpr std::uint32_t kNormal = 0x80;           // FILE_ATTRIBUTE_NORMAL
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;  // INFINITE
constexpr std::uint32_t kWaitObject0 = 0;         // WAIT_OBJECT_0

TEST(RegistryContract, OpensAnExistingKeyAndReportsAMissingOne) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string key = env.ScratchKey();

    KeyHandle opened = 0;
    ASSERT_EQ(ERROR_SUCCESS_CODE,
              os.OpenRegistryKey(HKEY_LOCAL_MACHINE_ROOT, key, kKeyRead, &opened))
        << env.name();
    EXPECT_NE(0u, opened);
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.CloseRegistryKey(opened));

    KeyHandle missing = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND_CODE,
              os.OpenRegistryKey(HKEY_LOCAL_MACHINE_ROOT, key + "\\Missing", kKeyRead, &missing));
}

TEST(RegistryContract, QueriesAStringValueAndReportsAMissingOne) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string key = env.ScratchKey();
    env.SetValue(key, "InstallPath", kRegSz, std::string("C:\\NuBen\0", 9));

    KeyHandle opened = 0;
    ASSERT_EQ(ERROR_SUCCESS_CODE,
              os.OpenRegistryKey(HKEY_LOCAL_MACHINE_ROOT, key, kKeyRead, &opened));
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE,
              os.QueryRegistryValue(opened, "InstallPath", &type, nullptr, &size));
    EXPECT_EQ(kRegSz, type);
    ASSERT_EQ(9u, size);
    std::vector<std::uint8_t> data(size);
    EXPECT_EQ(ERROR_SUCCESS_CODE,
              os.QueryRegistryValue(opened, "InstallPath", &type, data.data(), &size));
    EXPECT_EQ(0, std::memcmp(data.data(), "C:\\NuBen\0", 9));

    size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND_CODE,
              os.QueryRegistryValue(opened, "Missing", &type, nullptr, &size));
    os.CloseRegistryKey(opened);
}

TEST(RegistryContract, DeletingAKeyWithSubkeysFailsAndLeafFirstSucceeds) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string parent = env.ScratchKey() + "\\Parent";
    env.CreateKey(parent + "\\Child");

    EXPECT_EQ(ERROR_ACCESS_DENIED_CODE, os.DeleteRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent));
    EXPECT_TRUE(env.KeyExists(parent + "\\Child"));

    KeyHandle opened = 0;
    ASSERT_EQ(ERROR_SUCCESS_CODE,
              os.OpenRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent, kKeyAllAccess, &opened));
    std::uint32_t subkeys = 0;
    std::uint32_t longest = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryKeyInfo(opened, &subkeys, &longest));
    EXPECT_EQ(1u, subkeys);
    EXPECT_EQ(5u, longest);  // "Child", without the NUL
    char name[16] = {};
    std::uint32_t length = sizeof name;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.EnumRegistrySubkey(opened, 0, name, &length));
    EXPECT_EQ("Child", std::string(name, length));
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.DeleteRegistryKey(opened, "Child"));
    os.CloseRegistryKey(opened);

    EXPECT_EQ(ERROR_SUCCESS_CODE, os.DeleteRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent));
    EXPECT_FALSE(env.KeyExists(parent));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND_CODE, os.DeleteRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent));
}

TEST(FileContract, WritesReadsAndDeletesAFile) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string path = env.ScratchFolder() + "round trip.bin";
    const std::string bytes("\x01\x00\xFFNU-BEN", 9);

    const FileHandle file = os.CreateFileForWriting(path);
    ASSERT_NE(kInvalidHandle, file);
    std::uint32_t written = 0;
    EXPECT_TRUE(
        os.WriteToFile(file, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &written));
    EXPECT_EQ(bytes.size(), written);
    EXPECT_TRUE(os.CloseFile(file));
    EXPECT_EQ(bytes, env.ReadFileBytes(path));

    {
        // Open elsewhere without sharing: cannot be replaced.
        auto token = env.HoldOpen(path);
        EXPECT_EQ(kInvalidHandle, os.CreateFileForWriting(path));
    }

    ASSERT_TRUE(os.ChangeFileAttributes(path, kReadOnly));
    EXPECT_EQ(kReadOnly, os.FileAttributesOf(path) & kReadOnly);
    EXPECT_FALSE(os.RemoveFile(path));
    EXPECT_TRUE(os.ChangeFileAttributes(path, kNormal));
    EXPECT_TRUE(os.RemoveFile(path));
    EXPECT_FALSE(env.Exists(path));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES_VALUE, os.FileAttributesOf(path));
}

TEST(ResourceContract, FindsThePayloadWithItsBytes) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const ModuleHandle module = env.ModuleWithPayload();

    EXPECT_EQ(0u, os.FindResourceIn(module, "NO_SUCH_RESOURCE", "EXE"));
    const ResourceInfo info = os.FindResourceIn(module, kPayloadName, "EXE");
    ASSERT_NE(0u, info);
    const ResourceData data = os.LoadResourceData(module, info);
    ASSERT_NE(0u, data);
    const std::string expected = PayloadBytes();
    ASSERT_EQ(expected.size(), os.ResourceSize(module, info));
    const void* bytes = os.LockResourceData(data);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(expected, std::string(static_cast<const char*>(bytes), expected.size()));
    os.ReleaseResourceData(data);
}

TEST(ProcessContract, SleeperRunsToItsEndAndLeavesItsMarker) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string marker = env.ScratchFolder() + "slept.txt";
    constexpr std::uint32_t kSleepMs = 1500;

    ProcessStart request;
    request.commandLine = env.SleeperCommand(kSleepMs, marker);
    request.creationFlags = 0x20;  // NORMAL_PRIORITY_CLASS
    request.startup = {68, 1, 1};  // sizeof(STARTUPINFOA), STARTF_USESHOWWINDOW, SW_SHOWNORMAL
    StartedProcess started;
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(os.StartProcess(request, &started)) << request.commandLine;
    os.WaitUntilInputIdle(started.process, kInfinite);
    // Idle comes at the sleeper's first message check, long before its end.
    EXPECT_FALSE(env.Exists(marker));
    EXPECT_EQ(kWaitObject0, os.WaitUntilSignalled(started.process, kInfinite));
    const auto elapsed = std::chrono::steady_clock::now() - before;
    EXPECT_TRUE(os.CloseProcessHandle(started.process));
    EXPECT_TRUE(os.CloseProcessHandle(started.thread));

    EXPECT_TRUE(env.Exists(marker));
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(),
              static_cast<long long>(kSleepMs));
}

TEST(ProcessContract, AnEmptyCommandLineDoesNotStart) {
    ProcessStart request;
    request.startup = {68, 1, 1};
    StartedProcess started;
    EXPECT_FALSE(Env().os().StartProcess(request, &started));
}

}  // namespace
}  // namespace nuben::contract
