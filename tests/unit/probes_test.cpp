// The two probes: what counts as the beta or 2.0, and when the beta's
// uninstall command is taken over (every time its key opens).
#include <gtest/gtest.h>

#include <string>

#include "machine.h"
#include "registry/registry.h"

namespace nuben::test {
namespace {

class ProbeTest : public MachineTest {
  protected:
    void SetUp() override { g.UninstallCommand = "previous"; }
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount());
        MachineTest::TearDown();
    }
    void Beta(const std::string& displayName, std::uint32_t type = kRegSz) {
        os.SetText(kHkeyLocalMachine, kBetaKey, "DisplayName", displayName, type);
    }
};

TEST_F(ProbeTest, NoBetaKeyLeavesTheCommandAlone) {
    EXPECT_FALSE(IsBetaInstalled(g));
    EXPECT_EQ("previous", g.UninstallCommand);
}

TEST_F(ProbeTest, TheBetaIsFoundByItsExactKoreanNameAndItsCommandTaken) {
    Beta("누벤");
    os.SetText(kHkeyLocalMachine, kBetaKey, "UninstallString",
               "C:\\Program Files\\NU-BEN\\unins000.exe /S");
    EXPECT_TRUE(IsBetaInstalled(g));
    EXPECT_EQ("C:\\Program Files\\NU-BEN\\unins000.exe /S", g.UninstallCommand);
    EXPECT_EQ((std::vector<std::string>{"OpenKey HKLM\\" + kBetaKey + " 0x20019 -> 0"}),
              os.EventsOf({"OpenKey"}))
        << "read-only access";
}

TEST_F(ProbeTest, AnyOtherDisplayNameIsNotTheBetaYetTheCommandIsOverwritten) {
    os.SetText(kHkeyLocalMachine, kBetaKey, "UninstallString", "other.exe");
    for (const std::string name : {"누벤 ", " 누벤", "누벤 베타", "NU-BEN", "nu-ben", "", "누"}) {
        g.UninstallCommand = "previous";
        Beta(name);
        EXPECT_FALSE(IsBetaInstalled(g)) << "\"" << name << "\"";
        EXPECT_EQ("other.exe", g.UninstallCommand);
    }
}

TEST_F(ProbeTest, ABetaWithoutUninstallStringIsFoundAndEmptiesTheCommand) {
    Beta("누벤");
    EXPECT_TRUE(IsBetaInstalled(g));
    EXPECT_EQ("", g.UninstallCommand);
}

TEST_F(ProbeTest, ADisplayNameAsExpandableTextCounts) {
    Beta("누벤", kRegExpandSz);
    EXPECT_TRUE(IsBetaInstalled(g));
}

TEST_F(ProbeTest, ADisplayNameEndsAtItsFirstNul) {
    os.SetValue(kHkeyLocalMachine, kBetaKey, "DisplayName", kRegSz, std::string("누벤\0old", 9));
    EXPECT_TRUE(IsBetaInstalled(g));
}

TEST_F(ProbeTest, ABinaryDisplayNameReadsAsNotInstalledAndKeepsTheCommand) {
    os.SetValue(kHkeyLocalMachine, kBetaKey, "DisplayName", kRegBinary, std::string("누벤\0", 5));
    os.SetText(kHkeyLocalMachine, kBetaKey, "UninstallString", "unins.exe");
    EXPECT_FALSE(IsBetaInstalled(g));
    EXPECT_EQ("previous", g.UninstallCommand);
}

TEST_F(ProbeTest, AMatchedBetaStaysFoundWhenItsCommandIsNotText) {
    Beta("누벤");
    os.SetValue(kHkeyLocalMachine, kBetaKey, "UninstallString", kRegDword,
                std::string("\x01\x00\x00\x00", 4));
    EXPECT_TRUE(IsBetaInstalled(g));
    EXPECT_EQ("previous", g.UninstallCommand);
}

TEST_F(ProbeTest, ABetaKeyThatDeniesReadingIsNotInstalled) {
    Beta("누벤");
    os.SetText(kHkeyLocalMachine, kBetaKey, "UninstallString", "unins.exe");
    os.DenyKeyAccess(kHkeyLocalMachine, kBetaKey, kKeyRead);
    EXPECT_FALSE(IsBetaInstalled(g));
    EXPECT_EQ("previous", g.UninstallCommand);
}

TEST_F(ProbeTest, TheBetaProbeCanBeAskedAgainAndSeesTheRegistryAsItIsNow) {
    Beta("누벤");
    os.SetText(kHkeyLocalMachine, kBetaKey, "UninstallString", "first.exe");
    EXPECT_TRUE(IsBetaInstalled(g));
    os.RemoveKey(kHkeyLocalMachine, kBetaKey);
    EXPECT_FALSE(IsBetaInstalled(g));
    EXPECT_EQ("first.exe", g.UninstallCommand);
}

TEST_F(ProbeTest, Version20IsMarkedByItsUninstallKeyAlone) {
    EXPECT_FALSE(IsVersion20Installed(g));
    os.SetText(kHkeyLocalMachine, kProductKey, "InstallPath", "C:\\Program Files\\누벤");
    EXPECT_FALSE(IsVersion20Installed(g)) << "the product key alone is not 2.0";
    os.CreateKey(kHkeyLocalMachine, kUninstallRoot + "\\누벤 2.0 ");
    os.CreateKey(kHkeyLocalMachine, kUninstallRoot + "\\누벤 2.1");
    EXPECT_FALSE(IsVersion20Installed(g));
    os.CreateKey(kHkeyLocalMachine, kV20Key);
    EXPECT_TRUE(IsVersion20Installed(g));
    EXPECT_EQ("previous", g.UninstallCommand);
}

TEST_F(ProbeTest, AVersion20KeyThatDeniesReadingIsNotInstalled) {
    os.CreateKey(kHkeyLocalMachine, kV20Key);
    os.DenyKeyAccess(kHkeyLocalMachine, kV20Key, kKeyRead);
    EXPECT_FALSE(IsVersion20Installed(g));
    os.DenyKeyAccess(kHkeyLocalMachine, kV20Key, 0);
    os.DenyKeyAccess(kHkeyLocalMachine, kUninstallRoot, kKeyRead);
    EXPECT_FALSE(IsVersion20Installed(g));
}

}  // namespace
}  // namespace nuben::test
