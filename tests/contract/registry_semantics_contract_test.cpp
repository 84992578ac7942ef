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

std::vector<std::string> EnumerateAll(Platform& os, KeyHandle key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
        char name[64] = {};
        std::uint32_t length = sizeof name;
        const long code = os.EnumRegistrySubkey(key, index, name, &length);
        if (code == kErrorNoMoreItems) break;
        EXPECT_EQ(kErrorSuccess, code) << "index " << index;
        if (code != kErrorSuccess || index > 32) break;
        names.emplace_back(name, length);
    }
    return names;
}

// Each test on a scratch key of its own, in the environment of this build.
class RegistrySemanticsContract : public ::testing::Test {
  protected:
    ContractEnv& env_ = Env();
    Platform& os_ = env_.os();
};

TEST_F(RegistrySemanticsContract, OpeningAMissingKeyFailsAndCreatesNothing) {
    const std::string missing = env_.ScratchKey() + "\\Absent\\Deeper";
    for (const std::uint32_t access : {kKeyRead, kKeyAllAccess}) {
        KeyHandle key = 0;
        EXPECT_EQ(kErrorFileNotFound,
                  os_.OpenRegistryKey(kHkeyLocalMachine, missing, access, &key));
    }
    EXPECT_FALSE(env_.KeyExists(env_.ScratchKey() + "\\Absent"));
}

// Deleting takes a leaf only; a tree goes leaf first (what DeleteKeyTree does).
TEST_F(RegistrySemanticsContract, AKeyWithSubkeysIsNotDeletedButALeafIs) {
    const std::string parent = env_.ScratchKey() + "\\Parent";
    env_.CreateKey(parent + "\\Child");

    EXPECT_EQ(kErrorAccessDenied, os_.DeleteRegistryKey(kHkeyLocalMachine, parent));
    EXPECT_TRUE(env_.KeyExists(parent + "\\Child"));

    const KeyHandle key = OpenKey(os_, parent);
    std::uint32_t subkeys = 0;
    std::uint32_t longest = 0;
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryKeyInfo(key, &subkeys, &longest));
    EXPECT_EQ(1u, subkeys);
    EXPECT_EQ(5u, longest);  // "Child", without the NUL
    char name[16] = {};
    std::uint32_t length = sizeof name;
    EXPECT_EQ(kErrorSuccess, os_.EnumRegistrySubkey(key, 0, name, &length));
    EXPECT_EQ("Child", std::string(name, length));
    EXPECT_EQ(kErrorSuccess, os_.DeleteRegistryKey(key, "Child"));
    os_.CloseRegistryKey(key);

    EXPECT_EQ(kErrorSuccess, os_.DeleteRegistryKey(kHkeyLocalMachine, parent));
    EXPECT_FALSE(env_.KeyExists(parent));
    EXPECT_EQ(kErrorFileNotFound, os_.DeleteRegistryKey(kHkeyLocalMachine, parent));
}

// Text comes back byte for byte, its NUL included, whatever the case of the
// names asked for; a name that differs otherwise is not found.
TEST_F(RegistrySemanticsContract, KeyAndValueNamesIgnoreLetterCaseAndTextReadsBackAsStored) {
    env_.SetValue(env_.ScratchKey() + "\\Child", "InstallPath", kRegSz,
                  std::string("C:\\NuBen\0", 9));
    const KeyHandle key = OpenKey(os_, env_.ScratchKey() + "\\CHILD", kKeyRead);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryValue(key, "installpath", &type, nullptr, &size));
    EXPECT_EQ(kRegSz, type);
    ASSERT_EQ(9u, size);
    std::vector<std::uint8_t> data(size);
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryValue(key, "InstallPath", &type, data.data(), &size));
    EXPECT_EQ(0, std::memcmp(data.data(), "C:\\NuBen\0", 9));

    size = 0;
    EXPECT_EQ(kErrorFileNotFound, os_.QueryRegistryValue(key, "Missing", &type, nullptr, &size));
    os_.CloseRegistryKey(key);
}

TEST_F(RegistrySemanticsContract, AnEmptyPathOpensTheBaseKeyAgain) {
    env_.SetValue(env_.ScratchKey(), "Marker", kRegSz, std::string("m\0", 2));
    const KeyHandle base = OpenKey(os_, env_.ScratchKey());
    KeyHandle again = 0;
    ASSERT_EQ(kErrorSuccess, os_.OpenRegistryKey(base, "", kKeyRead, &again));
    EXPECT_NE(base, again);
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryValue(again, "Marker", nullptr, nullptr, &size));
    EXPECT_EQ(kErrorSuccess, os_.CloseRegistryKey(again));
    EXPECT_EQ(kErrorSuccess, os_.CloseRegistryKey(base));
}

TEST_F(RegistrySemanticsContract, AKeyThatDeniesTheMaskDoesNotOpen) {
    const std::string locked = env_.ScratchKey() + "\\Locked";
    env_.CreateKey(locked);
    if (!env_.DenyKeyAccess(locked, kKeyAllAccess)) GTEST_SKIP() << env_.name() << ": cannot deny";
    KeyHandle key = 0;
    EXPECT_EQ(kErrorAccessDenied,
              os_.OpenRegistryKey(kHkeyLocalMachine, locked, kKeyAllAccess, &key));
}

TEST_F(RegistrySemanticsContract, SubkeysEnumerateSortedWithoutRegardToCase) {
    for (const char* name : {"gamma", "Alpha", "delta", "Beta"}) {
        env_.CreateKey(env_.ScratchKey() + "\\" + name);
    }
    const KeyHandle key = OpenKey(os_, env_.ScratchKey(), kKeyRead);
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta", "delta", "gamma"}),
              EnumerateAll(os_, key));
    char name[16];
    std::uint32_t length = sizeof name;
    EXPECT_EQ(kErrorNoMoreItems, os_.EnumRegistrySubkey(key, 4, name, &length));
    os_.CloseRegistryKey(key);
}

// A subkey whose name code page 949 cannot spell is never listed: its best
// fit ("cafe" for "café") would name its sibling.
TEST_F(RegistrySemanticsContract, ANameTheCodePageCannotSpellIsNotListedAsALookalike) {
    env_.CreateKey(env_.ScratchKey() + "\\cafe");
    if (!env_.CreateKeyUtf16(env_.ScratchKey(), u"caf\u00e9")) GTEST_SKIP() << env_.name();
    const KeyHandle key = OpenKey(os_, env_.ScratchKey(), kKeyRead);
    char name[16] = {};
    for (std::uint32_t index : {0u, 1u}) {  // "cafe", then "café"
        std::uint32_t length = sizeof name;
        EXPECT_EQ(index == 0, os_.EnumRegistrySubkey(key, index, name, &length) == kErrorSuccess);
    }
    EXPECT_STREQ("cafe", name);
    os_.CloseRegistryKey(key);
}

TEST_F(RegistrySemanticsContract, EnumerationNeedsRoomForTheTerminatingNul) {
    env_.CreateKey(env_.ScratchKey() + "\\Eight888");
    const KeyHandle key = OpenKey(os_, env_.ScratchKey(), kKeyRead);
    char name[16] = {};
    std::uint32_t length = 8;  // the name's length, no room for its NUL
    EXPECT_EQ(kErrorMoreData, os_.EnumRegistrySubkey(key, 0, name, &length));
    length = 9;
    EXPECT_EQ(kErrorSuccess, os_.EnumRegistrySubkey(key, 0, name, &length));
    EXPECT_EQ(8u, length);
    EXPECT_EQ("Eight888", std::string(name));
    os_.CloseRegistryKey(key);
}

// The longest name counts characters, not bytes: "누벤" four times is 8
// characters but 16 bytes in code page 949, and must lose to 12 letters.
TEST_F(RegistrySemanticsContract, KeyInfoCountsSubkeysAndTheLongestNameInCharacters) {
    const std::string korean = std::string(texts::kProductName) + texts::kProductName +
                               texts::kProductName + texts::kProductName;
    env_.CreateKey(env_.ScratchKey() + "\\Empty");
    env_.CreateKey(env_.ScratchKey() + "\\a");
    env_.CreateKey(env_.ScratchKey() + "\\abcdefghijkl");
    env_.CreateKey(env_.ScratchKey() + "\\" + korean);
    const KeyHandle key = OpenKey(os_, env_.ScratchKey(), kKeyRead);
    std::uint32_t subkeys = 0;
    std::uint32_t longest = 0;
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryKeyInfo(key, &subkeys, &longest));
    EXPECT_EQ(4u, subkeys);
    EXPECT_EQ(16u, korean.size());
    EXPECT_EQ(12u, longest);
    os_.CloseRegistryKey(key);

    const KeyHandle empty = OpenKey(os_, env_.ScratchKey() + "\\Empty", kKeyRead);
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryKeyInfo(empty, &subkeys, &longest));
    EXPECT_EQ(0u, subkeys);
    EXPECT_EQ(0u, longest);
    os_.CloseRegistryKey(empty);
}

TEST_F(RegistrySemanticsContract, ASmallValueBufferGivesMoreDataAndTheNeededSize) {
    env_.SetValue(env_.ScratchKey(), "Blob", kRegBinary,
                  std::string("\x01\x02\x03\x04\x05\x06", 6));
    const KeyHandle key = OpenKey(os_, env_.ScratchKey(), kKeyRead);
    std::uint8_t data[4] = {};
    std::uint32_t size = sizeof data;
    std::uint32_t type = 0;
    EXPECT_EQ(kErrorMoreData, os_.QueryRegistryValue(key, "Blob", &type, data, &size));
    EXPECT_EQ(6u, size);
    std::uint8_t enough[6] = {};
    size = sizeof enough;
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryValue(key, "Blob", &type, enough, &size));
    EXPECT_EQ(kRegBinary, type);
    EXPECT_EQ(6, enough[5]);
    os_.CloseRegistryKey(key);
}

TEST_F(RegistrySemanticsContract, ValuesKeepTheirTypes) {
    env_.SetValue(env_.ScratchKey(), "Count", kRegDword, std::string("\x07\x00\x00\x00", 4));
    env_.SetValue(env_.ScratchKey(), "Path", kRegExpandSz, std::string("%TEMP%\\x\0", 9));
    const KeyHandle key = OpenKey(os_, env_.ScratchKey(), kKeyRead);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryValue(key, "Count", &type, nullptr, &size));
    EXPECT_EQ(kRegDword, type);
    EXPECT_EQ(4u, size);
    EXPECT_EQ(kErrorSuccess, os_.QueryRegistryValue(key, "Path", &type, nullptr, &size));
    EXPECT_EQ(kRegExpandSz, type);
    os_.CloseRegistryKey(key);
}

}  // namespace
}  // namespace nuben::contract
