// TRegistry: which handle a path is taken from, what a text value reads as,
// and how a tree is deleted (bottom-up, even past failures), with no handle left open.
#include "registry/registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "machine.h"

namespace nuben::test {
namespace {

class TRegistryTest : public MachineTest {
  protected:
    void SetUp() override {
        os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\A\\B");
        os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\B");
        os.SetText(kHkeyLocalMachine, "SOFTWARE\\A", "Text", "plain");
    }
    void TearDown() override {
        reg.reset();
        EXPECT_EQ(0u, os.OpenHandleCount()) << "a key was left open";
        EXPECT_EQ(0u, os.BadCloseCount());
        MachineTest::TearDown();
    }
    TRegistry& Reading() {
        reg->SetAccessMask(kKeyRead);
        reg->SetRootHandle(kHkeyLocalMachine);
        return *reg;
    }
    TRegistry& Deleting() {
        reg->SetAccessMask(kKeyAllAccess);
        reg->SetRootHandle(kHkeyLocalMachine);
        return *reg;
    }
    // The text read, or "error: " and the error's message.
    std::string Read(const std::string& value) {
        const TRegistryText read = reg->ReadTextValue(value);
        return read ? read.Text() : "error: " + read.Error().Message();
    }

    std::unique_ptr<TRegistry> reg = std::make_unique<TRegistry>(os);
};

// --- Fields and the base of a path

TEST_F(TRegistryTest, StartsOnTheCurrentUserWithFullAccessAndNoKey) {
    EXPECT_EQ(kHkeyCurrentUser, reg->RootHandle());
    EXPECT_EQ(kKeyAllAccess, reg->AccessMask());
    EXPECT_EQ(0u, reg->CurrentKey());
}

TEST_F(TRegistryTest, ChangingTheRootClosesTheCurrentKeyButSettingTheSameRootDoesNot) {
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    const KeyHandle current = reg->CurrentKey();
    reg->SetRootHandle(kHkeyLocalMachine);
    EXPECT_EQ(current, reg->CurrentKey());
    reg->SetRootHandle(kHkeyCurrentUser);
    EXPECT_EQ(0u, reg->CurrentKey());
    EXPECT_EQ(0u, os.OpenHandleCount());
}

TEST_F(TRegistryTest, RelativePathsStartAtTheCurrentKeyAbsoluteOnesAtTheRoot) {
    Reading();
    ASSERT_TRUE(reg->OpenSubkey("SOFTWARE\\A"));    // no current key yet: from the root
    ASSERT_TRUE(reg->OpenSubkey("B"));              // below SOFTWARE\A
    ASSERT_TRUE(reg->OpenSubkey("\\SOFTWARE\\B"));  // from the root despite a current key
    EXPECT_FALSE(reg->OpenSubkey("SOFTWARE"));      // relative to SOFTWARE\B: absent
    EXPECT_EQ((std::vector<std::string>{
                  "OpenKey HKLM\\SOFTWARE\\A 0x20019 -> 0",
                  "OpenKey HKLM\\SOFTWARE\\A\\B 0x20019 -> 0",
                  "OpenKey HKLM\\SOFTWARE\\B 0x20019 -> 0",
                  "OpenKey HKLM\\SOFTWARE\\B\\SOFTWARE 0x20019 -> 2",
              }),
              os.EventsOf({"OpenKey"}));
    EXPECT_EQ(1u, os.OpenHandleCount()) << "each successful open closes the previous key";
}

TEST_F(TRegistryTest, AFailedOpenCreatesNothingAndKeepsTheCurrentKey) {
    ASSERT_TRUE(Deleting().OpenSubkey("SOFTWARE\\A"));
    const KeyHandle current = reg->CurrentKey();
    EXPECT_FALSE(reg->OpenSubkey("Missing\\Deeper"));
    EXPECT_EQ(current, reg->CurrentKey());
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\A\\Missing"));
    EXPECT_EQ("plain", Read("Text"));
}

TEST_F(TRegistryTest, OpensWithTheAccessMaskSoADeniedKeyDoesNotOpen) {
    os.DenyKeyAccess(kHkeyLocalMachine, "SOFTWARE\\A", 0x00000006);  // set value, create subkey
    EXPECT_FALSE(Deleting().OpenSubkey("SOFTWARE\\A"));
    reg->SetAccessMask(kKeyRead);
    EXPECT_TRUE(reg->OpenSubkey("SOFTWARE\\A"));
}

TEST_F(TRegistryTest, SubkeyExistsLeavesTheCurrentKeyAndClosesWhatItOpened) {
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    const KeyHandle current = reg->CurrentKey();
    EXPECT_TRUE(reg->SubkeyExists("B"));
    EXPECT_FALSE(reg->SubkeyExists("C"));
    EXPECT_TRUE(reg->SubkeyExists("\\SOFTWARE\\B"));
    EXPECT_EQ(current, reg->CurrentKey());
    EXPECT_EQ(1u, os.OpenHandleCount());
    os.DenyKeyAccess(kHkeyLocalMachine, "SOFTWARE\\A\\B", kKeyRead);
    EXPECT_FALSE(reg->SubkeyExists("B"));
}

// --- Reading text

TEST_F(TRegistryTest, TextValuesReadUpToTheirFirstNulAndStayUnexpanded) {
    os.SetText(kHkeyLocalMachine, "SOFTWARE\\A", "Korean", "C:\\Program Files\\누벤");
    os.SetText(kHkeyLocalMachine, "SOFTWARE\\A", "Expand", "%ProgramFiles%\\누벤", kRegExpandSz);
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Split", kRegSz,
                std::string("first\0second\0", 13));
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Unterminated", kRegSz, "no nul");
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Empty", kRegSz, "");
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "EmptyBinary", kRegBinary, "");
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "OnlyNul", kRegSz, std::string(1, '\0'));
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    EXPECT_EQ("C:\\Program Files\\누벤", Read("Korean"));
    EXPECT_EQ("%ProgramFiles%\\누벤", Read("Expand"));
    EXPECT_EQ("first", Read("Split"));
    EXPECT_EQ("no nul", Read("Unterminated"));
    EXPECT_EQ("", Read("Empty"));
    EXPECT_EQ("", Read("EmptyBinary")) << "size 0 reads as empty before the type is looked at";
    EXPECT_EQ("", Read("OnlyNul"));
    EXPECT_EQ("", Read("Missing"));
    EXPECT_EQ("plain", Read("text")) << "value names ignore case";
    EXPECT_EQ("plain", Read("TEXT"));
}

TEST_F(TRegistryTest, ValuesThatAreNotTextFailAndDeliverNothing) {
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Count", kRegDword,
                std::string("\x01\x00\x00\x00", 4));
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "Blob", kRegBinary, std::string("bytes\0", 6));
    os.SetValue(kHkeyLocalMachine, "SOFTWARE\\A", "List", kRegMultiSz, std::string("a\0b\0\0", 5));
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    EXPECT_EQ("error: Invalid data type for 'Count'", Read("Count"));
    EXPECT_EQ("error: Invalid data type for 'Blob'", Read("Blob"));
    EXPECT_EQ("error: Invalid data type for 'List'", Read("List"));
    EXPECT_EQ("", reg->ReadTextValue("Count").Text()) << "a failed read delivers no text";
}

TEST_F(TRegistryTest, AReadThatFailsAfterTheSizeQueryFails) {
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    os.FailNext("QueryRegistryValueData", "Text");
    EXPECT_EQ("error: Failed to get data for 'Text'", Read("Text"));
    EXPECT_EQ("plain", Read("Text"));
}

TEST_F(TRegistryTest, AFailedSizeQueryReadsAsEmpty) {
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    os.FailNext("QueryRegistryValue", "Text");
    EXPECT_EQ("", Read("Text"));
}

// --- Deleting trees

class DeleteKeyTreeTest : public TRegistryTest {
  protected:
    void SetUp() override {
        for (const char* key : {"SOFTWARE\\T\\A", "SOFTWARE\\T\\B", "SOFTWARE\\T\\C\\C1\\Deep",
                                "SOFTWARE\\T\\C\\C2", "SOFTWARE\\Keep"}) {
            os.CreateKey(kHkeyLocalMachine, key);
        }
        os.SetText(kHkeyLocalMachine, "SOFTWARE\\T\\C", "Value", "v");
    }
};

TEST_F(DeleteKeyTreeTest, DeletesEveryLevelBottomUpHighestIndexFirst) {
    EXPECT_TRUE(Deleting().DeleteKeyTree("SOFTWARE\\T"));
    EXPECT_EQ((std::vector<std::string>{
                  "DeleteKey HKLM\\SOFTWARE\\T\\C\\C2 -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\T\\C\\C1\\Deep -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\T\\C\\C1 -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\T\\C -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\T\\B -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\T\\A -> 0",
                  "DeleteKey HKLM\\SOFTWARE\\T -> 0",
              }),
              os.EventsOf({"DeleteKey"}));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Keep"));
}

TEST_F(DeleteKeyTreeTest, AnAbsolutePathIgnoresTheCurrentKey) {
    os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Keep\\SOFTWARE\\T");
    ASSERT_TRUE(Deleting().OpenSubkey("SOFTWARE\\Keep"));
    EXPECT_TRUE(reg->DeleteKeyTree("\\SOFTWARE\\T"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Keep\\SOFTWARE\\T"));
}

TEST_F(DeleteKeyTreeTest, ARelativePathDeletesBelowTheCurrentKeyWhichStaysCurrent) {
    os.SetText(kHkeyLocalMachine, "SOFTWARE\\T", "Marker", "still here");
    ASSERT_TRUE(Deleting().OpenSubkey("SOFTWARE\\T"));
    const KeyHandle current = reg->CurrentKey();
    EXPECT_TRUE(reg->DeleteKeyTree("C"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\C"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\A"));
    EXPECT_EQ(current, reg->CurrentKey());
    EXPECT_EQ("still here", Read("Marker"));
    EXPECT_EQ(1u, os.OpenHandleCount());
}

TEST_F(DeleteKeyTreeTest, AKeyThatCannotBeOpenedIsStillDeleted) {
    os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\Leaf");
    os.DenyKeyAccess(kHkeyLocalMachine, "SOFTWARE\\Leaf", 0x000C0000);  // WRITE_DAC | WRITE_OWNER
    EXPECT_TRUE(Deleting().DeleteKeyTree("SOFTWARE\\Leaf"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\Leaf"));
    EXPECT_EQ((std::vector<std::string>{"OpenKey HKLM\\SOFTWARE\\Leaf 0xF003F -> 5"}),
              os.EventsOf({"OpenKey"}));
}

TEST_F(DeleteKeyTreeTest, TheDeleteIsAttemptedForMissingAndUndeletableKeys) {
    EXPECT_FALSE(Deleting().DeleteKeyTree("SOFTWARE\\Missing"));
    os.DenyKeyAccess(kHkeyLocalMachine, "SOFTWARE\\T", kDelete);
    EXPECT_FALSE(reg->DeleteKeyTree("SOFTWARE\\T"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\C"))
        << "DELETE denied: the open failed too";
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T"));
    const auto deletes = os.EventsOf({"DeleteKey"});
    ASSERT_FALSE(deletes.empty());
    EXPECT_EQ("DeleteKey HKLM\\SOFTWARE\\Missing -> 2", deletes.front());
    EXPECT_EQ("DeleteKey HKLM\\SOFTWARE\\T -> 5", deletes.back());
}

TEST_F(DeleteKeyTreeTest, ASubkeyThatCannotBeFetchedIsSkippedAndItsParentStays) {
    os.FailNext("EnumRegistrySubkey", "HKLM\\SOFTWARE\\T");  // index 2, "C"
    EXPECT_FALSE(Deleting().DeleteKeyTree("SOFTWARE\\T"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\C\\C1\\Deep"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\A"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\T\\B"));
}

TEST_F(DeleteKeyTreeTest, WithoutKeyInfoNoSubkeyIsVisited) {
    os.FailNext("QueryRegistryKeyInfo", "HKLM\\SOFTWARE\\T");
    EXPECT_FALSE(Deleting().DeleteKeyTree("SOFTWARE\\T"));
    EXPECT_EQ((std::vector<std::string>{"DeleteKey HKLM\\SOFTWARE\\T -> 5"}),
              os.EventsOf({"DeleteKey"}));
}

// The longest-name length may come in characters; "누벤" is 2 characters
// but 4 bytes, so only the doubled buffer holds it.
class DoubleByteNamesTest : public TRegistryTest {
  protected:
    void SetUp() override {
        os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\K\\누벤");
        os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\K\\ab");
        os.ReportSubkeyLengthInCharacters(true);
    }
};

TEST_F(DoubleByteNamesTest, OnDbcsNtTheBufferIsDoubledAndTheNameFetched) {
    EXPECT_TRUE(Deleting().DeleteKeyTree("SOFTWARE\\K"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\K"));
}

TEST_F(DoubleByteNamesTest, WithoutDbcsOrNtTheLengthIsTakenAsItCame) {
    os.SetDbcsEnabled(false);
    EXPECT_FALSE(Deleting().DeleteKeyTree("SOFTWARE\\K"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\K\\누벤"));
    EXPECT_FALSE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\K\\ab"));

    os.CreateKey(kHkeyLocalMachine, "SOFTWARE\\K2\\누벤");
    os.SetDbcsEnabled(true);
    os.SetWindowsNt(false);
    EXPECT_FALSE(reg->DeleteKeyTree("SOFTWARE\\K2"));
    EXPECT_TRUE(os.KeyExists(kHkeyLocalMachine, "SOFTWARE\\K2\\누벤"));
}

TEST_F(TRegistryTest, FreeingTheObjectClosesItsKey) {
    ASSERT_TRUE(Reading().OpenSubkey("SOFTWARE\\A"));
    EXPECT_EQ(1u, os.OpenHandleCount());
    reg.reset();
    EXPECT_EQ(0u, os.OpenHandleCount());
}

}  // namespace
}  // namespace nuben::test
