// Fills the placeholders of a string table format text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kavrel::console {

// One value for a placeholder: an integer, a double or a text.
class FormatArgument {
public:
  FormatArgument(std::int64_t value) : m_kind(Kind::kInteger), m_integer(value) {}
  FormatArgument(int value) : FormatArgument(static_cast<std::int64_t>(value)) {}
  FormatArgument(double value) : m_kind(Kind::kReal), m_real(value) {}
  FormatArgument(std::u16string_view value) : m_kind(Kind::kText), m_text(value) {}

  enum class Kind { kInteger, kReal, kText };
  Kind kind() const { return m_kind; }
  std::int64_t integer() const { return m_integer; }
  double real() const { return m_real; }
  std::u16string_view text() const { return m_text; }

private:
  Kind m_kind;
  std::int64_t m_integer = 0;
  double m_real = 0.0;
  std::u16string_view m_text;
};

// Replaces, left to right, each placeholder of `format` with the next
// argument: "%d" an integer in decimal, "%s" a text, "%f" or "%.Nf" a double
// with 6 or N digits after the decimal point (always a point, whatever the
// locale); "%%" is one "%". A placeholder whose argument is missing or of
// another kind, and any other "%" sequence, are copied as they stand.
std::u16string FormatMessageText(std::u16string_view format,
                                 std::initializer_list<FormatArgument> arguments);

}  // namespace kavrel::console
