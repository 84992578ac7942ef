// The message boxes as the user must see them, written out byte for byte
// in the tests rather than taken from the product's own texts, so that a
// wrong text or style in the product fails them. Shared by the unit and
// the fault-injection tests.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_constants.h"

namespace nuben::test {

inline const std::string kCaption = "알림";
inline const std::string kBetaQuestion =
    "누벤 베타버전이 이미 설치되어 있습니다.\n\r기존의 누벤을 제거하고 누벤 2.1을 "
    "설치하시겠습니까?";
inline const std::string kBetaBlocked =
    "누벤 베타버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다.";
inline const std::string kV20Question =
    "누벤 2.0 버전이 이미 설치되어 있습니다.\n\r기존의 누벤을 제거하고 누벤 2.1을 "
    "설치하시겠습니까?";
inline const std::string kV20Blocked =
    "누벤 2.0 버전을 제거하지 않으면 누벤 2.1의 설치를 계속할 수 없습니다.";

// Always on top, with the buttons and icon of a question, an error, a notice.
inline constexpr std::uint32_t kQuestionStyle = kMbTopmost | kMbYesNo | kMbIconQuestion;
inline constexpr std::uint32_t kErrorStyle = kMbTopmost | kMbOk | kMbIconError;
inline constexpr std::uint32_t kInfoStyle = kMbTopmost | kMbOk | kMbIconInformation;

}  // namespace nuben::test
