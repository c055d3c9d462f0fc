#include "textio/format.hpp"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "textio/program_state.hpp"

namespace textio {

namespace {

using Kind = FormatToken::Kind;

// Groups are parsed recursively: nesting deeper than this makes the list invalid, so that no
// format text, however long, can exhaust the stack.
constexpr int kDeepestGroupNesting = 100;

FormatToken make_token(Kind kind, int repeat = 1, int width = 0, std::string literal = {}) {
  FormatToken token;
  token.kind = kind;
  token.repeat = repeat;
  token.width = width;
  token.literal = std::move(literal);
  return token;
}

// Reads a format list character by character; blanks outside literals are ignored.
class FormatParser {
 public:
  explicit FormatParser(std::string_view text) : text_(text) {}

  ParsedFormat parse() {
    ParsedFormat result;
    skip_blanks();
    if (!take('(')) return result;
    if (!parse_list(result, /*depth=*/1)) return result;
    skip_blanks();
    if (pos_ != text_.size()) return result;
    result.valid = true;
    auto reused = result.tokens.begin() + result.reversion_start;
    result.reversion_has_data = std::any_of(
        reused, result.tokens.end(), [](const FormatToken& token) { return token.is_data(); });
    return result;
  }

 private:
  void skip_blanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  char peek() {
    skip_blanks();
    return pos_ < text_.size()
               ? static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_])))
               : '\0';
  }
  bool take(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  std::optional<int> number() {
    skip_blanks();
    std::size_t start = pos_;
    long value = 0;
    while (pos_ < text_.size() &&
           (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == ' ')) {
      if (text_[pos_] != ' ') value = value * 10 + (text_[pos_] - '0');
      if (value > 1000000) return std::nullopt;
      ++pos_;
    }
    if (pos_ == start) return std::nullopt;
    return static_cast<int>(value);
  }

  // Parses items up to the closing parenthesis of the current level, which it consumes.
  bool parse_list(ParsedFormat& result, int depth) {
    while (true) {
      char c = peek();
      if (c == '\0') return false;
      if (c == ')') {
        ++pos_;
        return true;
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == '/' || c == ':' || c == '$') {
        ++pos_;
        result.tokens.push_back(make_token(c == '/'   ? Kind::slash
                                           : c == ':' ? Kind::colon
                                                      : Kind::dollar));
        continue;
      }
      if (!parse_item(result, depth)) return false;
    }
  }

  bool parse_item(ParsedFormat& result, int depth) {
    bool negative = false;
    if (peek() == '-' || peek() == '+') {
      negative = text_[pos_] == '-';
      ++pos_;
    }
    std::optional<int> count = number();
    char c = peek();
    if (negative && c != 'P') return false;
    if (c == 'P') {
      ++pos_;
      if (!count) return false;
      result.tokens.push_back(make_token(Kind::scale, 1, negative ? -*count : *count));
      return true;
    }
    if (count && *count == 0 && c != 'X' && c != 'P') return false;
    if (c == '(') {
      if (depth > kDeepestGroupNesting) return false;
      ++pos_;
      int start = static_cast<int>(result.tokens.size());
      result.tokens.push_back(make_token(Kind::group_start, count.value_or(1)));
      if (depth == 1) result.reversion_start = start;
      if (!parse_list(result, depth + 1)) return false;
      int end = static_cast<int>(result.tokens.size());
      result.tokens.push_back(make_token(Kind::group_end));
      result.tokens[start].match = end;
      result.tokens[end].match = start;
      return true;
    }
    if (c == '\'' || c == '"') return !count && parse_quoted(result, c);
    if (c == 'H') return count && parse_hollerith(result, *count);
    if (c == 'X') {
      ++pos_;
      result.tokens.push_back(make_token(Kind::skip, 1, count.value_or(1)));
      return true;
    }
    return parse_data(result, c, count.value_or(1));
  }

  bool parse_quoted(ParsedFormat& result, char quote) {
    ++pos_;
    std::string literal;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == quote) {
        if (pos_ < text_.size() && text_[pos_] == quote) {
          literal += quote;
          ++pos_;
          continue;
        }
        result.tokens.push_back(make_token(Kind::literal, 1, 0, literal));
        return true;
      }
      literal += c;
    }
    return false;
  }

  bool parse_hollerith(ParsedFormat& result, int length) {
    ++pos_;  // the H, at pos_ after peek() skipped blanks
    if (pos_ + length > text_.size()) return false;
    result.tokens.push_back(
        make_token(Kind::literal, 1, 0, std::string(text_.substr(pos_, length))));
    pos_ += length;
    return true;
  }

  bool parse_data(ParsedFormat& result, char c, int repeat) {
    Kind kind;
    switch (c) {
      case 'I':
        kind = Kind::integer;
        break;
      case 'F':
        kind = Kind::fixed;
        break;
      case 'E':
        kind = Kind::exponent;
        break;
      case 'G':
        kind = Kind::general;
        break;
      case 'A':
        kind = Kind::text;
        break;
      default:
        return false;
    }
    ++pos_;
    FormatToken token = make_token(kind, repeat);
    if (kind == Kind::text) {
      char next = peek();
      if (next >= '0' && next <= '9') {
        std::optional<int> width = number();
        if (!width || *width == 0) return false;
        token.width = *width;
      }
      result.tokens.push_back(token);
      return true;
    }
    std::optional<int> width = number();
    if (!width || *width == 0) return false;
    token.width = *width;
    if (take('.')) {
      std::optional<int> digits = number();
      if (!digits) return false;
      token.digits = *digits;
    } else if (kind != Kind::integer) {
      return false;
    }
    result.tokens.push_back(token);
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

struct FormatCache {
  std::unordered_map<std::string, std::shared_ptr<const ParsedFormat>> formats;
  std::string last_text;  // the latest format, found without hashing when used again at once
  std::shared_ptr<const ParsedFormat> last;
};

FormatCache& format_cache() {
  return program_state<FormatCache>();
}

}  // namespace

std::shared_ptr<const ParsedFormat> parsed_format(std::string_view format) {
  FormatCache& cache = format_cache();
  if (cache.last && format == cache.last_text) return cache.last;
  std::string key(format);
  auto found = cache.formats.find(key);
  if (found == cache.formats.end()) {
    // A full cache starts again: the formats of a run are few, and those in use come back.
    if (cache.formats.size() >= kFormatCacheLimit) cache.formats.clear();
    auto parsed = std::make_shared<const ParsedFormat>(FormatParser(format).parse());
    found = cache.formats.emplace(key, std::move(parsed)).first;
  }
  cache.last_text = std::move(key);
  cache.last = found->second;
  return cache.last;
}

std::size_t cached_format_count() {
  return format_cache().formats.size();
}

}  // namespace textio
