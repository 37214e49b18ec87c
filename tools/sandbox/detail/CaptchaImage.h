#pragma once
// The security image: characters drawn from a built-in 5x7 bitmap font so
// that server threads need neither system fonts nor a QGuiApplication.

#include <cstdint>
#include <string>

namespace sandbox::captcha {

// Letters and digits a reader cannot mistake for one another.
extern const char kAlphabet[];

inline constexpr int kWidth = 200;
inline constexpr int kHeight = 60;

// 5 or 6 characters from kAlphabet.
std::string randomAnswer(std::uint64_t entropy);
// PNG bytes; the same text and seed give the same picture.
std::string renderPng(const std::string &text, std::uint64_t seed);

} // namespace sandbox::captcha
