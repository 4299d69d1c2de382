#pragma once
// A text line built in a fixed buffer, for files written once a second or
// once an interval: no allocation, and numbers always with "." as the decimal
// separator whatever the process locale (the toolkit sets the user's locale,
// and a comma would break every comma-separated file).
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qs {

class TextLine {
 public:
  static constexpr std::size_t kCapacity = 512;

  void Clear() { size_ = 0; }
  TextLine& Text(std::string_view s) {
    const std::size_t n = s.size() < Room() ? s.size() : Room();
    std::memcpy(buffer_.data() + size_, s.data(), n);
    size_ += n;
    return *this;
  }
  TextLine& Char(char c) { return Text(std::string_view(&c, 1)); }
  // printf's "%W.Pf": at least width characters, right-aligned with blanks.
  TextLine& Fixed(double value, int precision, int width = 0) {
    char digits[64];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
    return Padded(digits, static_cast<std::size_t>(r.ptr - digits), width, ' ');
  }
  // printf's "%0Wd" (width 0: no padding).
  TextLine& Int(long long value, int width = 0, char pad = '0') {
    char digits[32];
    const auto r = std::to_chars(digits, digits + sizeof digits, value);
    return Padded(digits, static_cast<std::size_t>(r.ptr - digits), width, pad);
  }
  // printf's "%0Wx": lower-case hexadecimal.
  TextLine& Hex(std::uint32_t value, int width) {
    char digits[16];
    const auto r = std::to_chars(digits, digits + sizeof digits, value, 16);
    return Padded(digits, static_cast<std::size_t>(r.ptr - digits), width, '0');
  }
  // "HH:MM:SS" ("%02d:%02d:%02d"); hours are not wrapped at 24.
  TextLine& Clock(std::uint32_t secondsOfDay) {
    Int(secondsOfDay / 3600, 2).Char(':');
    Int(secondsOfDay % 3600 / 60, 2).Char(':');
    return Int(secondsOfDay % 60, 2);
  }
  // The line end of every text file the program writes.
  TextLine& EndLine() { return Text("\r\n"); }

  std::string_view View() const { return {buffer_.data(), size_}; }
  const char* Data() const { return buffer_.data(); }
  std::size_t Size() const { return size_; }

 private:
  std::size_t Room() const { return kCapacity - size_; }
  TextLine& Padded(const char* digits, std::size_t n, int width, char pad) {
    const bool negative = n > 0 && digits[0] == '-';
    if (static_cast<int>(n) < width) {
      const std::size_t fill = static_cast<std::size_t>(width) - n;
      if (pad == '0' && negative) {  // zero padding goes between the sign and the digits
        Char('-');
        for (std::size_t i = 0; i < fill; ++i) Char('0');
        return Text(std::string_view(digits + 1, n - 1));
      }
      for (std::size_t i = 0; i < fill; ++i) Char(pad);
    }
    return Text(std::string_view(digits, n));
  }

  std::array<char, kCapacity> buffer_{};
  std::size_t size_ = 0;
};

}  // namespace qs
