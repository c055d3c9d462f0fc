#include "textio/edit.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "textio/status.hpp"

namespace textio {

namespace {

std::string asterisks(int width) {
  return std::string(static_cast<std::size_t>(width), '*');
}

// Right-justifies `text` in `width` columns, or asterisks when it does not fit.
std::string right_justify(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width) return asterisks(width);
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// A field without its sign: the zero before the point is dropped only when the number fits the
// field without it and not with it, and never when it is the field's only digit.
std::string signed_field(bool negative, std::string magnitude, int width) {
  int sign_width = negative ? 1 : 0;
  bool zero_can_go = magnitude.size() > 2 && magnitude[0] == '0' && magnitude[1] == '.' &&
                     magnitude[2] >= '0' && magnitude[2] <= '9';
  if (static_cast<int>(magnitude.size()) + sign_width > width && zero_can_go) {
    magnitude.erase(0, 1);
  }
  return right_justify((negative ? "-" : "") + magnitude, width);
}

bool has_nonzero_digit(const std::string& text) {
  return text.find_first_of("123456789") != std::string::npos;
}

std::string non_finite(double value, int width) {
  std::string text = std::isnan(value) ? "NaN" : (value < 0 ? "-Inf" : "Inf");
  return right_justify(text, width);
}

enum class Notation { fixed, exponent };

// The C library's "%.*f" or "%.*e" of a value, however many characters it takes.
std::string c_conversion(double value, int precision, Notation notation) {
  auto convert = [&](char* out, std::size_t size) {
    return notation == Notation::fixed ? std::snprintf(out, size, "%.*f", precision, value)
                                       : std::snprintf(out, size, "%.*e", precision, value);
  };
  char small[64];
  int length = convert(small, sizeof small);
  if (length < static_cast<int>(sizeof small)) {
    return std::string(small, static_cast<std::size_t>(length));
  }
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  convert(text.data(), text.size());
  text.pop_back();
  return text;
}

// The significant digits of |value| rounded to `count` digits, and its decimal exponent
// (value = 0.d1d2... x 10^(exponent + 1)).
struct Digits {
  std::string digits;
  int exponent = 0;
};

Digits significant_digits(double magnitude, int count) {
  Digits result;
  if (magnitude == 0.0) {
    result.digits.assign(static_cast<std::size_t>(count), '0');
    return result;
  }
  std::string text = c_conversion(magnitude, count - 1, Notation::exponent);
  std::size_t e = text.find('e');
  for (std::size_t i = 0; i < e; ++i) {
    if (text[i] != '.') result.digits += text[i];
  }
  result.exponent = std::atoi(text.c_str() + e + 1);
  return result;
}

void strip_leading_zeros(std::string& digits) {
  std::size_t first = digits.find_first_not_of('0');
  digits.erase(0, first == std::string::npos ? digits.size() - 1 : first);
}

// Adds one to a number written in decimal digits.
void increment_digits(std::string& digits) {
  for (auto digit = digits.rbegin(); digit != digits.rend(); ++digit) {
    if (*digit != '9') {
      ++*digit;
      return;
    }
    *digit = '0';
  }
  digits.insert(digits.begin(), '1');
}

// magnitude x 10^decimals rounded to a whole number, exactly, ties to even; in decimal digits
// without leading zeros. The C library rounds exactly for decimals >= 0; for fewer, the whole
// part's digits are rounded here, the fraction deciding only a tie.
std::string rounded_decimal(double magnitude, int decimals) {
  std::string digits;
  if (decimals >= 0) {
    digits = c_conversion(magnitude, decimals, Notation::fixed);
    if (std::size_t point = digits.find('.'); point != std::string::npos) digits.erase(point, 1);
  } else {
    double whole = std::floor(magnitude);
    std::string whole_digits = c_conversion(whole, 0, Notation::fixed);
    std::size_t dropped = static_cast<std::size_t>(-static_cast<long long>(decimals));
    if (dropped > whole_digits.size()) return "0";
    digits = whole_digits.substr(0, whole_digits.size() - dropped);
    std::string_view rest = std::string_view(whole_digits).substr(digits.size());
    int against_half = rest.compare("5" + std::string(dropped - 1, '0'));
    bool odd = !digits.empty() && (digits.back() - '0') % 2 == 1;
    bool up = against_half > 0 || (against_half == 0 && (magnitude > whole || odd));
    if (digits.empty()) digits = "0";
    if (up) increment_digits(digits);
  }
  strip_leading_zeros(digits);
  return digits;
}

}  // namespace

std::string edit_integer(long long value, int width) {
  return right_justify(std::to_string(value), width);
}

std::string edit_fixed(double value, int width, int digits, int scale) {
  if (!std::isfinite(value)) return non_finite(value, width);
  // kP multiplies by 10^k: the value rounded to d + k decimals, with the point d digits from
  // the right, so that the rounding is that of the exact value.
  std::string magnitude = rounded_decimal(std::fabs(value), digits + scale);
  std::size_t fraction = static_cast<std::size_t>(digits);
  if (magnitude.size() <= fraction) magnitude.insert(0, fraction + 1 - magnitude.size(), '0');
  magnitude.insert(magnitude.size() - fraction, 1, '.');
  bool negative = std::signbit(value) && has_nonzero_digit(magnitude);
  return signed_field(negative, magnitude, width);
}

std::string edit_exponent(double value, int width, int digits, int scale) {
  if (!std::isfinite(value)) return non_finite(value, width);
  // With kP, k digits stand before the point (k > 0) or -k zeros after it (k <= 0).
  int significant = scale > 0 ? digits + 1 : digits + scale;
  if (significant <= 0 || scale > digits + 1) return asterisks(width);
  Digits rounded = significant_digits(std::fabs(value), significant);
  std::string mantissa;
  if (scale > 0) {
    mantissa = rounded.digits.substr(0, scale) + "." + rounded.digits.substr(scale);
  } else {
    mantissa = "0." + std::string(static_cast<std::size_t>(-scale), '0') + rounded.digits;
  }
  int exponent = value == 0.0 ? 0 : rounded.exponent + 1 - scale;
  char exponent_text[16];
  std::snprintf(exponent_text, sizeof exponent_text, "E%c%02d", exponent < 0 ? '-' : '+',
                std::abs(exponent));
  bool negative = value < 0.0;
  return signed_field(negative, mantissa + exponent_text, width);
}

std::string edit_general(double value, int width, int digits, int scale) {
  if (!std::isfinite(value)) return non_finite(value, width);
  constexpr int kTrailingBlanks = 4;
  if (digits > 0 && width > kTrailingBlanks) {
    // Fixed form when the value, rounded to d significant digits, lies in [0.1, 10^d).
    int before_point = value == 0.0 ? 1 : significant_digits(std::fabs(value), digits).exponent + 1;
    if (before_point >= 0 && before_point <= digits) {
      std::string fixed = edit_fixed(value, width - kTrailingBlanks, digits - before_point, 0);
      // A value that does not fit fills the whole field with asterisks, the blanks' place too.
      if (fixed.front() == '*') return asterisks(width);
      return fixed + std::string(kTrailingBlanks, ' ');
    }
  }
  return edit_exponent(value, width, digits, scale);
}

std::string edit_text(std::string_view text, int width) {
  if (width <= 0) return std::string(text);
  std::size_t w = static_cast<std::size_t>(width);
  if (text.size() >= w) return std::string(text.substr(0, w));
  return std::string(w - text.size(), ' ') + std::string(text);
}

namespace {

// An optional sign and digits, blanks ignored anywhere.
struct SignedDigits {
  bool negative = false;
  bool any_digit = false;
  long long magnitude = 0;
};

// Fails on any other character, on a sign after the first digit or sign, and on a magnitude
// beyond `limit`.
int read_signed_digits(std::string_view field, long long limit, SignedDigits& number) {
  bool seen_sign = false;
  for (char c : field) {
    if (c == ' ') continue;
    if ((c == '-' || c == '+') && !seen_sign && !number.any_digit) {
      number.negative = c == '-';
      seen_sign = true;
    } else if (c >= '0' && c <= '9') {
      number.any_digit = true;
      number.magnitude = number.magnitude * 10 + (c - '0');
      if (number.magnitude > limit) return kErrUnexpectedCharacter;
    } else {
      return kErrUnexpectedCharacter;
    }
  }
  return kOk;
}

// The magnitude of the most negative 4-byte integer.
constexpr long long kIntegerMagnitudeLimit = 1LL << 31;

// The exponent of a real field: a letter (E, D or Q) followed by an optional sign, or a sign
// alone, and then at least one digit.
int read_exponent(std::string_view text, long& exponent) {
  constexpr long long kLargestExponent = 100000;
  std::string_view letters = "EeDdQq";
  if (letters.find(text[0]) != std::string_view::npos) {
    text.remove_prefix(1);
  } else if (text[0] != '+' && text[0] != '-') {
    return kErrUnexpectedCharacter;
  }
  SignedDigits number;
  if (int status = read_signed_digits(text, kLargestExponent, number)) return status;
  if (!number.any_digit) return kErrUnexpectedCharacter;
  exponent = static_cast<long>(number.negative ? -number.magnitude : number.magnitude);
  return kOk;
}

// Turns a real input field into a plain decimal number text for strtod/strtof, applying the
// implied decimals and the scale factor. Returns a status.
int normalise_real(std::string_view field, int digits, int scale, std::string& number) {
  std::string mantissa;
  bool negative = false;
  bool seen_point = false;
  int fraction_digits = 0;
  std::size_t i = 0;
  auto at_blank = [&] { return i < field.size() && field[i] == ' '; };
  while (at_blank()) ++i;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  for (; i < field.size(); ++i) {
    char c = field[i];
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      mantissa += c;
      if (seen_point) ++fraction_digits;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  long exponent = 0;
  bool has_exponent = i < field.size();
  if (has_exponent) {
    if (int status = read_exponent(field.substr(i), exponent)) return status;
  }
  if (mantissa.empty()) mantissa = "0";
  long shift = exponent - (seen_point ? fraction_digits : digits);
  if (!has_exponent) shift -= scale;
  number = (negative ? "-" : "") + mantissa + "e" + std::to_string(shift);
  return kOk;
}

}  // namespace

int read_integer(std::string_view field, int& value) {
  SignedDigits number;
  if (int status = read_signed_digits(field, kIntegerMagnitudeLimit, number)) return status;
  if (!number.negative && number.magnitude == kIntegerMagnitudeLimit) {
    return kErrUnexpectedCharacter;
  }
  value = static_cast<int>(number.negative ? -number.magnitude : number.magnitude);
  return kOk;
}

int read_real(std::string_view field, int digits, int scale, double& value) {
  std::string number;
  if (int status = normalise_real(field, digits, scale, number)) return status;
  value = std::strtod(number.c_str(), nullptr);
  return kOk;
}

int read_real(std::string_view field, int digits, int scale, float& value) {
  std::string number;
  if (int status = normalise_real(field, digits, scale, number)) return status;
  value = std::strtof(number.c_str(), nullptr);
  return kOk;
}

void read_text_field(std::string_view field, std::string& target) {
  std::size_t length = target.size();
  if (field.size() >= length) {
    target.assign(field.substr(field.size() - length));
  } else {
    target.assign(field);
    target.resize(length, ' ');
  }
}

}  // namespace textio
