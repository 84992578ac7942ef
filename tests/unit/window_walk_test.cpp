// CloseAppWindows: the walk over all top-level windows, the comparison after
// AsciiUpper, and what a window that vanishes mid-walk does to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "machine.h"

namespace nuben::test {
namespace {

class WindowWalkTest : public MachineTest {
  protected:
    std::vector<WindowHandle> Told() const {
        std::vector<WindowHandle> told;
        for (const auto& post : os.Posts()) {
            EXPECT_EQ(kWmQuit, post.message);
            EXPECT_EQ(0u, post.wParam);
            EXPECT_EQ(0, post.lParam);
            told.push_back(post.window);
        }
        return told;
    }
    // Post attempts of any outcome, also to windows that no longer exist.
    std::size_t PostAttempts() const { return os.EventsOf({"PostMessage"}).size(); }
};

TEST_F(WindowWalkTest, EveryMatchingWindowIsToldHiddenOnesAndAnyLetterCaseIncluded) {
    const WindowHandle first = os.AddWindow("TfrmNuBen", "누벤");
    os.AddWindow("TfrmNuBen", "누벤 베타");  // longer title
    os.AddWindow("TfrmNuBenX", "누벤");      // longer class
    const WindowHandle upper = os.AddWindow("TFRMNUBEN", "누벤");
    os.AddWindow("TfrmRepMain", "누벤");
    const WindowHandle hidden = os.AddWindow("tfrmnuben", "누벤", false);
    os.AddWindow("TfrmNuBen", "");
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "누벤"));
    EXPECT_EQ((std::vector<WindowHandle>{first, upper, hidden}), Told());
}

// On a 1252 system an ANSI program's title, set from 949 bytes, reads as
// those bytes only in the system's code page; a 949 program's title only as 949.
TEST_F(WindowWalkTest, TitlesMatchInEitherReadingOnASystemOfAnotherCodePage) {
    os.SetCodePage(1252);
    const WindowHandle ansi = os.AddAnsiProgramWindow("TfrmNuBen", "누벤");
    const WindowHandle korean = os.AddWindow("TfrmNuBen", "누벤");
    os.AddAnsiProgramWindow("TfrmNuBen", "누벤 ");
    os.AddAnsiProgramWindow("TfrmRepMain", "누벤");
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "누벤"));
    EXPECT_EQ((std::vector<WindowHandle>{ansi, korean}), Told());
}

TEST_F(WindowWalkTest, AnEmptyTitleMatchesEveryTitleOfTheClass) {
    const WindowHandle a = os.AddWindow("TfrmRepMain", "누벤 신고하기");
    const WindowHandle b = os.AddWindow("TfrmRepMain", "");
    os.AddWindow("Shell_TrayWnd", "");
    const WindowHandle c = os.AddWindow("tfrmrepmain", "anything at all");
    EXPECT_TRUE(CloseAppWindows(os, "TfrmRepMain", ""));
    EXPECT_EQ((std::vector<WindowHandle>{a, b, c}), Told());
}

TEST_F(WindowWalkTest, AnEmptyClassIsRefusedAndNothingIsPosted) {
    os.AddWindow("", "");
    os.AddWindow("TfrmNuBen", "누벤");
    EXPECT_FALSE(CloseAppWindows(os, "", ""));
    EXPECT_FALSE(CloseAppWindows(os, "", "누벤"));
    EXPECT_EQ(0u, PostAttempts());
}

TEST_F(WindowWalkTest, NoWindowsAtAllIsStillSuccess) {
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "누벤"));
    EXPECT_EQ(0u, PostAttempts());
}

TEST_F(WindowWalkTest, LatinTitlesMatchWithoutRegardToCase) {
    const WindowHandle w = os.AddWindow("TfrmNuBen", "nu-ben Report");
    EXPECT_TRUE(CloseAppWindows(os, "tfrmnuben", "NU-BEN REPORT"));
    EXPECT_EQ(std::vector<WindowHandle>{w}, Told());
}

TEST_F(WindowWalkTest, UpperCasingTouchesOnlyAToZEvenInTrailBytes) {
    // "\x81\x61" and "\x81\x41" are two different characters whose trail
    // bytes are 'a' and 'A': byte-wise upper-casing makes them equal.
    const WindowHandle trail = os.AddWindow("TfrmNuBen", "\x81\x41");
    // 0xE1 / 0xC1 are a lower/upper pair in Latin-1 only: never folded here.
    os.AddWindow("TfrmNuBen", "\xB4\xC1");
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "\x81\x61"));
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "\xB4\xE1"));
    EXPECT_EQ(std::vector<WindowHandle>{trail}, Told());
}

TEST_F(WindowWalkTest, AsciiUpperMapsExactlyTheBytesAToZ) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    const std::string upper = AsciiUpper(all);
    ASSERT_EQ(all.size(), upper.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto byte = static_cast<unsigned char>(all[i]);
        const auto expected = (byte >= 'a' && byte <= 'z') ? byte - 0x20 : byte;
        EXPECT_EQ(expected, static_cast<unsigned char>(upper[i])) << "byte " << int(byte);
    }
}

TEST_F(WindowWalkTest, OnlyTheFirst259BytesOfATitleAreCompared) {
    const std::string head(259, 'N');
    const WindowHandle w = os.AddWindow("TfrmNuBen", head + "-TAIL");
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", head + "-TAIL"));
    EXPECT_TRUE(Told().empty()) << "the full title is longer than what is fetched";
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", head));
    EXPECT_EQ(std::vector<WindowHandle>{w}, Told());
}

TEST_F(WindowWalkTest, AWindowThatVanishesUnderTheWalkEndsIt) {
    const WindowHandle first = os.AddWindow("TfrmNuBen", "누벤");
    const WindowHandle second = os.AddWindow("TfrmNuBen", "누벤");
    os.AddWindow("TfrmNuBen", "누벤");
    os.DestroyAfter(second, "ClassNameOf");  // gone before the walk steps past it
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "누벤"));
    EXPECT_EQ(std::vector<WindowHandle>{first}, Told());
}

// A window that vanishes right after IsWindow must not be compared with
// what the previous window left in the fetch buffer.
TEST_F(WindowWalkTest, AVanishedWindowNeverMatchesThroughAStaleBuffer) {
    // The window before it has the class searched for as its text, so a
    // stale buffer would hold exactly the class name.
    for (const std::string title : {"", "TfrmNuBen"}) {
        os.AddWindow("TfrmNuBen", "TfrmNuBen");
        const WindowHandle vanishing = os.AddWindow("TfrmNuBen", "TfrmNuBen");
        os.DestroyAfter(vanishing, "IsLiveWindow");
        EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", title));
        for (const std::string& line : os.EventsOf({"PostMessage"})) {
            EXPECT_EQ(std::string::npos, line.find(os.Describe(vanishing) + " "))
                << "title \"" << title << "\": " << line;
        }
    }
}

TEST_F(WindowWalkTest, AWindowWhoseTextCannotBeFetchedMatchesNoTitle) {
    const WindowHandle vanishing = os.AddWindow("TfrmNuBen", "TfrmNuBen");
    os.DestroyAfter(vanishing, "ClassNameOf");  // class fetched, text not
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "TfrmNuBen"));
    EXPECT_EQ(0u, PostAttempts()) << "the buffer still held the class name";
}

TEST_F(WindowWalkTest, TheWalkStartsAtTheFirstTopLevelWindowAndTellsInZOrder) {
    const WindowHandle a = os.AddWindow("TfrmNuBen", "누벤");
    const WindowHandle b = os.AddWindow("TfrmNuBen", "누벤");
    os.DestroyWindow(a);
    const WindowHandle c = os.AddWindow("TfrmNuBen", "누벤");
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "누벤"));
    EXPECT_EQ((std::vector<WindowHandle>{b, c}), Told());
}

// Two windows that take turns at the top (each activated as the walk stands
// on it) make GW_HWNDNEXT go round for ever; the walk must still end.
TEST_F(WindowWalkTest, AZOrderThatChangesUnderTheWalkDoesNotKeepItGoingForEver) {
    const WindowHandle a = os.AddWindow("TfrmNuBen", "누벤");
    const WindowHandle b = os.AddWindow("TfrmNuBen", "누벤");
    os.OnEveryCall([&](const fake::CallRecord& call) {
        if (call.operation != "RelatedWindow") return;
        for (WindowHandle w : {a, b}) {
            if (call.subject == os.Describe(w) + " 2") os.RaiseWindow(w);
        }
    });
    os.SetCallBudget(2'000'000);
    EXPECT_TRUE(CloseAppWindows(os, "TfrmNuBen", "누벤"));
    EXPECT_FALSE(os.BudgetExceeded()) << "the walk ran until the fake stopped it";
    // It went round (each window told many times), then stopped.
    EXPECT_GT(os.Posts().size(), 1000u);
    EXPECT_LE(os.Posts().size(), 65536u);
}

}  // namespace
}  // namespace nuben::test
