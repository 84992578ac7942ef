// What the registry does at the edges TRegistry depends on: opening never
// creates, "" reopens the base, denied access, enumeration order and buffer
// sizes, the longest-name length. Windows' answers, which the fake must give.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "contract_env.h"
#include "u_Global/texts.h"

namespace nuben::contract {
namespace {

constexpr std::uint32_t kKeyRead = 0x20019;
constexpr std::uint32_t kKeyAllAccess = 0xF003F;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

std::vector<std::string> EnumerateAll(Platform& os, KeyHandle key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
        char name[64] = {};
        std::uint32_t length = sizeof name;
        const long code = os.EnumRegistrySubkey(key, index, name, &length);
        if (code == ERROR_NO_MORE_ITEMS_CODE) break;
        EXPECT_EQ(ERROR_SUCCESS_CODE, code) << "index " << index;
        if (code != ERROR_SUCCESS_CODE || index > 32) break;
        names.emplace_back(name, length);
    }
    return names;
}

TEST(RegistrySemanticsContract, OpeningAMissingKeyFailsAndCreatesNothing) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string missing = env.ScratchKey() + "\\Absent\\Deeper";
    for (const std::uint32_t access : {kKeyRead, kKeyAllAccess}) {
        KeyHandle key = 0;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND_CODE,
                  os.OpenRegistryKey(HKEY_LOCAL_MACHINE_ROOT, missing, access, &key));
    }
    EXPECT_FALSE(env.KeyExists(env.ScratchKey() + "\\Absent"));
}

TEST(RegistrySemanticsContract, AStringValueReadsBackByteForByteAndAMissingOneIsNotFound) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    env.SetValue(env.ScratchKey(), "InstallPath", kRegSz, std::string("C:\\NuBen\0", 9));
    const KeyHandle key = OpenKey(os, env.ScratchKey(), kKeyRead);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryValue(key, "InstallPath", &type, nullptr, &size));
    EXPECT_EQ(kRegSz, type);
    ASSERT_EQ(9u, size);
    std::vector<std::uint8_t> data(size);
    EXPECT_EQ(ERROR_SUCCESS_CODE,
              os.QueryRegistryValue(key, "InstallPath", &type, data.data(), &size));
    EXPECT_EQ(0, std::memcmp(data.data(), "C:\\NuBen\0", 9));

    size = 0;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND_CODE,
              os.QueryRegistryValue(key, "Missing", &type, nullptr, &size));
    os.CloseRegistryKey(key);
}

// Deleting takes a leaf only; a tree goes leaf first (what DeleteKeyTree does).
TEST(RegistrySemanticsContract, AKeyWithSubkeysIsNotDeletedButALeafIs) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string parent = env.ScratchKey() + "\\Parent";
    env.CreateKey(parent + "\\Child");

    EXPECT_EQ(ERROR_ACCESS_DENIED_CODE, os.DeleteRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent));
    EXPECT_TRUE(env.KeyExists(parent + "\\Child"));

    const KeyHandle key = OpenKey(os, parent);
    std::uint32_t subkeys = 0;
    std::uint32_t longest = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryKeyInfo(key, &subkeys, &longest));
    EXPECT_EQ(1u, subkeys);
    EXPECT_EQ(5u, longest);  // "Child", without the NUL
    char name[16] = {};
    std::uint32_t length = sizeof name;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.EnumRegistrySubkey(key, 0, name, &length));
    EXPECT_EQ("Child", std::string(name, length));
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.DeleteRegistryKey(key, "Child"));
    os.CloseRegistryKey(key);

    EXPECT_EQ(ERROR_SUCCESS_CODE, os.DeleteRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent));
    EXPECT_FALSE(env.KeyExists(parent));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND_CODE, os.DeleteRegistryKey(HKEY_LOCAL_MACHINE_ROOT, parent));
}

TEST(RegistrySemanticsContract, KeyAndValueNamesIgnoreLetterCase) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    env.SetValue(env.ScratchKey() + "\\Child", "InstallPath", kRegSz, std::string("x\0", 2));
    const KeyHandle key = OpenKey(os, env.ScratchKey() + "\\CHILD", kKeyRead);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryValue(key, "installpath", &type, nullptr, &size));
    EXPECT_EQ(kRegSz, type);
    EXPECT_EQ(2u, size);
    os.CloseRegistryKey(key);
}

TEST(RegistrySemanticsContract, AnEmptyPathOpensTheBaseKeyAgain) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    env.SetValue(env.ScratchKey(), "Marker", kRegSz, std::string("m\0", 2));
    const KeyHandle base = OpenKey(os, env.ScratchKey());
    KeyHandle again = 0;
    ASSERT_EQ(ERROR_SUCCESS_CODE, os.OpenRegistryKey(base, "", kKeyRead, &again));
    EXPECT_NE(base, again);
    std::uint32_t size = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryValue(again, "Marker", nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.CloseRegistryKey(again));
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.CloseRegistryKey(base));
}

TEST(RegistrySemanticsContract, AKeyThatDeniesTheMaskDoesNotOpen) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string locked = env.ScratchKey() + "\\Locked";
    env.CreateKey(locked);
    if (!env.DenyKeyAccess(locked, kKeyAllAccess)) GTEST_SKIP() << env.name() << ": cannot deny";
    KeyHandle key = 0;
    EXPECT_EQ(ERROR_ACCESS_DENIED_CODE,
              os.OpenRegistryKey(HKEY_LOCAL_MACHINE_ROOT, locked, kKeyAllAccess, &key));
}

TEST(RegistrySemanticsContract, SubkeysEnumerateSortedWithoutRegardToCase) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    for (const char* name : {"gamma", "Alpha", "delta", "Beta"}) {
        env.CreateKey(env.ScratchKey() + "\\" + name);
    }
    const KeyHandle key = OpenKey(os, env.ScratchKey(), kKeyRead);
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta", "delta", "gamma"}), EnumerateAll(os, key));
    char name[16];
    std::uint32_t length = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS_CODE, os.EnumRegistrySubkey(key, 4, name, &length));
    os.CloseRegistryKey(key);
}

TEST(RegistrySemanticsContract, EnumerationNeedsRoomForTheTerminatingNul) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    env.CreateKey(env.ScratchKey() + "\\Eight888");
    const KeyHandle key = OpenKey(os, env.ScratchKey(), kKeyRead);
    char name[16] = {};
    std::uint32_t length = 8;  // the name's length, no room for its NUL
    EXPECT_EQ(ERROR_MORE_DATA_CODE, os.EnumRegistrySubkey(key, 0, name, &length));
    length = 9;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.EnumRegistrySubkey(key, 0, name, &length));
    EXPECT_EQ(8u, length);
    EXPECT_EQ("Eight888", std::string(name));
    os.CloseRegistryKey(key);
}

// The longest name counts characters, not bytes: "누벤" four times is 8
// characters but 16 bytes in code page 949, and must lose to 12 letters.
TEST(RegistrySemanticsContract, KeyInfoCountsSubkeysAndTheLongestNameInCharacters) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    const std::string korean = std::string(texts::kProductName) + texts::kProductName +
                               texts::kProductName + texts::kProductName;
    env.CreateKey(env.ScratchKey() + "\\Empty");
    env.CreateKey(env.ScratchKey() + "\\a");
    env.CreateKey(env.ScratchKey() + "\\abcdefghijkl");
    env.CreateKey(env.ScratchKey() + "\\" + korean);
    const KeyHandle key = OpenKey(os, env.ScratchKey(), kKeyRead);
    std::uint32_t subkeys = 0;
    std::uint32_t longest = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryKeyInfo(key, &subkeys, &longest));
    EXPECT_EQ(4u, subkeys);
    EXPECT_EQ(16u, korean.size());
    EXPECT_EQ(12u, longest);
    os.CloseRegistryKey(key);

    const KeyHandle empty = OpenKey(os, env.ScratchKey() + "\\Empty", kKeyRead);
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryKeyInfo(empty, &subkeys, &longest));
    EXPECT_EQ(0u, subkeys);
    EXPECT_EQ(0u, longest);
    os.CloseRegistryKey(empty);
}

TEST(RegistrySemanticsContract, ASmallValueBufferGivesMoreDataAndTheNeededSize) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    env.SetValue(env.ScratchKey(), "Blob", kRegBinary, std::string("\x01\x02\x03\x04\x05\x06", 6));
    const KeyHandle key = OpenKey(os, env.ScratchKey(), kKeyRead);
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    EXPECT_EQ(ERROR_MORE_DATA_CODE, os.QueryRegistryValue(key, "Blob", &type, data, &size));
    EXPECT_EQ(6u, size);
    std::uint8_t enough[6] = {};
    size = sizeof enough;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryValue(key, "Blob", &type, enough, &size));
    EXPECT_EQ(kRegBinary, type);
    EXPECT_EQ(6, enough[5]);
    os.CloseRegistryKey(key);
}

TEST(RegistrySemanticsContract, ValuesKeepTheirTypes) {
    ContractEnv& env = Env();
    Platform& os = env.os();
    env.SetValue(env.ScratchKey(), "Count", kRegDword, std::string("\x07\x00\x00\x00", 4));
    env.SetValue(env.ScratchKey(), "Path", kRegExpandSz, std::string("%TEMP%\\x\0", 9));
    const KeyHandle key = OpenKey(os, env.ScratchKey(), kKeyRead);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryValue(key, "Count", &type, nullptr, &size));
    EXPECT_EQ(kRegDword, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(ERROR_SUCCESS_CODE, os.QueryRegistryValue(key, "Path", &type, nullptr, &size));
    EXPECT_EQ(kRegExpandSz, type);
    os.CloseRegistryKey(key);
}

}  // namespace
}  // namespace nuben::contract
