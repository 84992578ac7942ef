// Names the ANSI functions hand over differently from how they are stored.
// Windows keeps names in Unicode; converting one to the ANSI code page maps
// characters the code page lacks to a "best fit", and the won sign U+20A9
// (code page 949) and the yen sign U+00A5 (932) come out as 0x5C, a
// backslash. A folder the user may create in their own Start menu, or a
// subkey below the product's key, can thus reach the bootstrapper as a path
// that climbs out of the tree being removed. Such a name is not a name of
// that tree and must never be followed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "fake_platform.h"
#include "machine.h"
#include "registry/registry.h"

namespace nuben::fault {
namespace {

// Stands for the won sign U+20A9, which code page 949 lacks: stored as one
// double-byte character, handed over by the ANSI functions as 0x5C.
const std::string kWon = "\xA3\xDC";

// Stands for a name element that the ANSI side reads as a full stop. Windows
// also lets a program create "..." or ". ." outright through a "\\?\\" path.
const std::string kDot = "\xA8\xA1";

std::string BestFit(std::string name) {
    for (std::size_t at = name.find(kWon); at != std::string::npos; at = name.find(kWon, at + 1)) {
        name.replace(at, kWon.size(), "\\");
    }
    for (std::size_t at = name.find(kDot); at != std::string::npos; at = name.find(kDot, at + 1)) {
        name.replace(at, kDot.size(), ".");
    }
    return name;
}

// The fake with the ANSI conversion of names applied on the way out.
class BestFitMachine : public fake::FakePlatform {
  public:
    FindHandle FindFirstEntry(const std::string& pattern, FindEntry* entry) override {
        const FindHandle find = FakePlatform::FindFirstEntry(pattern, entry);
        entry->name = BestFit(entry->name);
        return find;
    }
    bool FindNextEntry(FindHandle find, FindEntry* entry) override {
        const bool found = FakePlatform::FindNextEntry(find, entry);
        entry->name = BestFit(entry->name);
        return found;
    }
    long EnumRegistrySubkey(KeyHandle key, std::uint32_t index, char* name,
                            std::uint32_t* nameLen) override {
        const long code = FakePlatform::EnumRegistrySubkey(key, index, name, nameLen);
        if (code == kErrorSuccess) {
            // Never longer than the stored name, so it fits where that did.
            const std::string converted = BestFit(std::string(name, *nameLen));
            std::memcpy(name, converted.c_str(), converted.size() + 1);
            *nameLen = static_cast<std::uint32_t>(converted.size());
        }
        return code;
    }
};

class BestFitNamesTest : public ::testing::Test {
  protected:
    void SetUp() override { test::FurnishTypicalMachine(os); }
    void TearDown() override {
        EXPECT_EQ(0u, os.OpenHandleCount());
        if (HasFailure()) std::fprintf(stderr, "%.20000s\n", os.Dump().c_str());
    }
    BestFitMachine os;
};

TEST_F(BestFitNamesTest, AFolderWhoseNameComesOutAsAClimbIsNeverEntered) {
    // The user's own Start-menu group, which any user may furnish.
    const std::string group = test::kPrograms + "\\누벤 2.0";
    std::string climb;
    for (int i = 0; i < 8; ++i) climb += ".." + kWon;
    os.MakeFile(group + "\\누벤.lnk", "start");
    os.MakeFolder(group + "\\" + climb + "WINDOWS");
    const std::string windowsBefore = os.FileBytes(test::kWindows + "\\keep.txt");

    RemoveFolder(os, group);

    EXPECT_TRUE(os.Exists(test::kWindows + "\\keep.txt"));
    EXPECT_TRUE(os.Exists(test::kSystem + "\\keep.txt"));
    EXPECT_EQ(windowsBefore, os.FileBytes(test::kWindows + "\\keep.txt"));
    EXPECT_FALSE(os.Exists(group + "\\누벤.lnk")) << "the rest of the group still goes";
}

TEST_F(BestFitNamesTest, AFileWhoseNameComesOutAsAClimbIsNeverDeleted) {
    const std::string group = test::kPrograms + "\\누벤 2.0";
    std::string climb;
    for (int i = 0; i < 8; ++i) climb += ".." + kWon;
    os.MakeFile(group + "\\" + climb + "boot.ini", "planted");

    RemoveFolder(os, group);

    EXPECT_TRUE(os.Exists("C:\\boot.ini"));
}

// A name that leads back to where the walk started would make it recurse
// without end: the call budget turns that into a failed test, not a crash.
constexpr std::size_t kCallBudget = 2000;

TEST_F(BestFitNamesTest, ASubkeyWhoseNameComesOutAbsoluteIsNeverFollowed) {
    os.SetText(kHkeyLocalMachine, "SOFTWARE\\NU-BEN", "InstallPath", "C:\\Program Files\\누벤");
    os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\NU-BEN\\" + kWon + "SOFTWARE");
    os.SetText(kHkeyLocalMachine, "SOFTWARE\\Other", "Keep", "me");
    os.SetCallBudget(kCallBudget);
    {
        TRegistry reg(os);
        reg.SetAccessMask(kKeyAllAccess);
        reg.SetRootHandle(kHkeyLocalMachine);
        reg.DeleteKeyTree("SOFTWARE\\NU-BEN");
    }
    EXPECT_FALSE(os.BudgetExceeded()) << "the walk never ended";
    EXPECT_TRUE(os.ValueExists(kHkeyLocalMachine, "SOFTWARE\\Other", "Keep"));
}

TEST_F(BestFitNamesTest, AFolderWhoseNameComesOutAsItsOwnParentIsNeverEntered) {
    const std::string group = test::kPrograms + "\\누벤 2.0";
    os.MakeFile(group + "\\누벤.lnk", "start");
    os.MakeFolder(group + "\\.." + kWon + "누벤 2.0");
    os.SetCallBudget(kCallBudget);
    RemoveFolder(os, group);
    EXPECT_FALSE(os.BudgetExceeded()) << "the walk never ended";
    EXPECT_FALSE(os.Exists(group + "\\누벤.lnk"));
}

// "..." and ". ." resolve to the folder being walked (trailing dots and
// blanks drop off an element): entered, they would list that folder again.
TEST_F(BestFitNamesTest, NamesOfOnlyDotsAndBlanksAreNeverEntered) {
    const std::string group = test::kPrograms + "\\누벤 2.0";
    os.MakeFile(group + "\\누벤.lnk", "start");
    os.MakeFolder(group + "\\" + kDot + kDot + kDot);
    os.MakeFolder(group + "\\" + kDot + " " + kDot);
    os.SetCallBudget(kCallBudget);
    RemoveFolder(os, group);
    EXPECT_FALSE(os.BudgetExceeded()) << "the walk never ended";
    EXPECT_FALSE(os.Exists(group + "\\누벤.lnk"));
    EXPECT_TRUE(os.Exists(test::kPrograms + "\\keep.txt"));
}

}  // namespace
}  // namespace nuben::fault
