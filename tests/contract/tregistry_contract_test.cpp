// TRegistry's rules where they meet the real registry: how text values read,
// and deleting whole trees, relative to the current key or not.
#include <gtest/gtest.h>

#include <string>

#include "contract_env.h"
#include "registry/registry.h"
#include "u_Global/texts.h"

namespace nuben::contract {
namespace {

// A TRegistry reading from HKLM, standing on the scratch key. Its current
// key is the one handle it keeps; every other call gives back what it opens.
class TRegistryContract : public ::testing::Test {
  protected:
    void SetUp() override {
        key_ = env_.ScratchKey();
        reg_.SetAccessMask(kKeyRead);
        reg_.SetRootHandle(kHkeyLocalMachine);
    }
    void TearDown() override {
        if (reg_.CurrentKey() == 0) return;
        const std::size_t open = env_.OpenHandleCount();
        reg_.CloseCurrentKey();
        EXPECT_EQ(open - 1, env_.OpenHandleCount()) << "closing the current key, " << env_.name();
    }
    // The text read, or "error: " and the error's message.
    std::string Read(const std::string& value) {
        const TRegistryText read = reg_.ReadTextValue(value);
        return read ? read.Text() : "error: " + read.Error().Message();
    }
    void OpenScratch() {
        ExpectNoHandleLeak keepsTheCurrentKey(env_, 1);
        ASSERT_TRUE(reg_.OpenSubkey(key_)) << env_.name();
    }

    ContractEnv& env_ = Env();
    TRegistry reg_{env_.os()};
    std::string key_;
};

TEST_F(TRegistryContract, ReadsTextValuesUpToTheirFirstNul) {
    const std::string korean = std::string("C:\\") + texts::kProductName;
    env_.SetValue(key_, "Plain", kRegSz, korean + std::string(1, '\0'));
    env_.SetValue(key_, "Expand", kRegExpandSz, std::string("%SystemRoot%\\NuBen\0", 19));
    env_.SetValue(key_, "Split", kRegSz, std::string("before\0after\0", 13));
    // Text code page 949 cannot spell reads as absent: its best fit would
    // name another folder ("C:\Cafe" for "C:\Café").
    const bool foreign = env_.SetTextValueUtf16(key_, "Foreign", u"C:\\Caf\u00e9");
    // A writer that stored its whole buffer: the tail after the NUL is not text.
    env_.SetTextValueUtf16(key_, "Tail", std::u16string(u"C:\\NuBen\0caf\u00e9\u20ac", 14));
    OpenScratch();
    ExpectNoHandleLeak guard(env_);
    EXPECT_EQ(korean, Read("Plain"));
    EXPECT_EQ("%SystemRoot%\\NuBen", Read("Expand"));  // never expanded
    EXPECT_EQ("before", Read("Split"));
    EXPECT_EQ("", Read("Missing"));
    if (foreign) {
        EXPECT_EQ("", Read("Foreign"));
        EXPECT_EQ("C:\\NuBen", Read("Tail"));
    }
}

TEST_F(TRegistryContract, ADwordIsNotText) {
    env_.SetValue(key_, "Count", kRegDword, std::string("\x01\x00\x00\x00", 4));
    OpenScratch();
    ExpectNoHandleLeak guard(env_);
    EXPECT_EQ("error: Invalid data type for 'Count'", Read("Count"));
}

TEST_F(TRegistryContract, DeletesATreeThreeLevelsDeepAndNothingBeside) {
    const std::string tree = key_ + "\\" + texts::kV20Registration;
    env_.CreateKey(tree + "\\Level1\\Level2\\Level3");
    env_.CreateKey(tree + "\\Level1\\Other");
    env_.CreateKey(tree + "\\" + texts::kProductName);
    env_.SetValue(tree + "\\Level1", "Value", kRegSz, std::string("v\0", 2));
    env_.CreateKey(key_ + "\\Sibling");

    reg_.SetAccessMask(kKeyAllAccess);
    {
        ExpectNoHandleLeak guard(env_);
        EXPECT_TRUE(reg_.DeleteKeyTree("\\" + tree));
    }
    EXPECT_FALSE(env_.KeyExists(tree));
    EXPECT_TRUE(env_.KeyExists(key_ + "\\Sibling"));
}

TEST_F(TRegistryContract, ARelativeDeleteWorksBelowTheCurrentKeyAndKeepsIt) {
    env_.CreateKey(key_ + "\\Child\\Grandchild");
    env_.SetValue(key_, "Marker", kRegSz, std::string("here\0", 5));
    reg_.SetAccessMask(kKeyAllAccess);
    OpenScratch();
    const KeyHandle current = reg_.CurrentKey();

    {
        ExpectNoHandleLeak guard(env_);
        EXPECT_TRUE(reg_.DeleteKeyTree("Child"));
    }
    EXPECT_FALSE(env_.KeyExists(key_ + "\\Child"));
    EXPECT_EQ(current, reg_.CurrentKey());
    ExpectNoHandleLeak guard(env_);
    EXPECT_EQ("here", Read("Marker"));
}

TEST_F(TRegistryContract, AKeyThatCannotBeOpenedIsStillDeleted) {
    const std::string leaf = key_ + "\\Unopenable";
    env_.CreateKey(leaf);
    // Everything of full access except DELETE itself.
    if (!env_.DenyKeyAccess(leaf, kKeyAllAccess & ~0x00010000u)) {
        GTEST_SKIP() << env_.name() << ": cannot deny";
    }
    reg_.SetAccessMask(kKeyAllAccess);
    {
        ExpectNoHandleLeak guard(env_);
        EXPECT_FALSE(reg_.SubkeyExists("\\" + leaf));
        EXPECT_TRUE(reg_.DeleteKeyTree("\\" + leaf));
    }
    EXPECT_FALSE(env_.KeyExists(leaf));
}

TEST_F(TRegistryContract, SubkeyExistsReadsADeniedKeyAsAbsent) {
    const std::string locked = key_ + "\\Locked";
    env_.CreateKey(locked);
    if (!env_.DenyKeyAccess(locked, kKeyAllAccess)) GTEST_SKIP() << env_.name();
    reg_.SetAccessMask(kKeyAllAccess);
    {
        ExpectNoHandleLeak guard(env_);
        EXPECT_FALSE(reg_.SubkeyExists(locked));
    }
    EXPECT_TRUE(env_.KeyExists(locked));
}

}  // namespace
}  // namespace nuben::contract
