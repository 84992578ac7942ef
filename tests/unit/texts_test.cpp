// The program's texts are code page 949 bytes, exactly as users' earlier
// versions showed them; the line break inside the questions is LF then CR.
#include "u_Global/texts.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <string>

namespace nuben {
namespace {

// UTF-8 to code page 949, independently of how texts.cpp was compiled.
std::string Cp949(const char* utf8) {
    iconv_t convert = iconv_open("CP949", "UTF-8");
    EXPECT_NE(reinterpret_cast<iconv_t>(-1), convert);
    std::string in(utf8);
    std::string out(in.size() * 2, '\0');
    char* source = in.data();
    char* target = out.data();
    std::size_t left = in.size();
    std::size_t room = out.size();
    EXPECT_NE(static_cast<std::size_t>(-1), iconv(convert, &source, &left, &target, &room));
    iconv_close(convert);
    out.resize(out.size() - room);
    return out;
}

TEST(Texts, PinnedBytes) {
    EXPECT_EQ("\xBE\xCB\xB8\xB2", std::string(texts::kCaption));      // 알림
    EXPECT_EQ("\xB4\xA9\xBA\xA5", std::string(texts::kProductName));  // 누벤
    EXPECT_EQ("\xB4\xA9\xBA\xA5\x20\x32\x2E\x30", std::string(texts::kV20Registration));
    EXPECT_EQ("\xB4\xA9\xBA\xA5\x2E\x6C\x6E\x6B", std::string(texts::kShortcutName));
    EXPECT_EQ("\xB4\xA9\xBA\xA5\x20\xBD\xC5\xB0\xED\xC7\xCF\xB1\xE2",
              std::string(texts::kReportToolTitle));  // 누벤 신고하기
}

TEST(Texts, EveryMessageMatchesItsKoreanWording) {
    EXPECT_EQ(Cp949(u8"알림"), texts::kCaption);
    EXPECT_EQ(Cp949(u8"누벤 베타버전이 이미 설치되어 있습니다.\n\r"
                    u8"기존의 누벤을 제거하고 누벤 2.1을 설치하시겠습니까?"),
              texts::kBetaQuestion);
    EXPECT_EQ(Cp949(u8"누벤 베타버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다."),
              texts::kBetaBlocked);
    EXPECT_EQ(Cp949(u8"누벤 2.0 버전이 이미 설치되어 있습니다.\n\r"
                    u8"기존의 누벤을 제거하고 누벤 2.1을 설치하시겠습니까?"),
              texts::kV20Question);
    EXPECT_EQ(Cp949(u8"누벤 2.0 버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다."),
              texts::kV20Blocked);
}

TEST(Texts, QuestionsBreakWithLfThenCr) {
    for (const char* question : {texts::kBetaQuestion, texts::kV20Question}) {
        const std::string text(question);
        EXPECT_NE(std::string::npos, text.find(".\x0A\x0D\xB1\xE2")) << "LF CR before 기존";
        EXPECT_EQ(std::string::npos, text.find("\x0D\x0A"));
        EXPECT_EQ(1u, std::count(text.begin(), text.end(), '\x0A'));
    }
    EXPECT_EQ(std::string::npos, std::string(texts::kBetaBlocked).find_first_of("\r\n"));
    EXPECT_EQ(std::string::npos, std::string(texts::kV20Blocked).find_first_of("\r\n"));
}

}  // namespace
}  // namespace nuben
