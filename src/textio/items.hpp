// The items of a data transfer: values to write and variables to read into.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace textio {

// A value to write: an integer, a real or a text.
struct OutItem {
  enum class Kind { integer, real, text } kind;
  long long integer = 0;
  double real = 0.0;
  std::string_view text;
};

// A variable to read into. Text variables keep their width: the field is the string's size.
struct InItem {
  enum class Kind { int32, real32, real64, text } kind;
  void* target;
};

namespace detail {

template <typename T>
void add_out(std::vector<OutItem>& items, const T& value) {
  using V = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<V, bool>) {
    static_assert(!std::is_same_v<V, bool>, "logical items are not supported");
  } else if constexpr (std::is_integral_v<V> && !std::is_same_v<V, char>) {
    items.push_back({OutItem::Kind::integer, static_cast<long long>(value), 0.0, {}});
  } else if constexpr (std::is_floating_point_v<V>) {
    items.push_back({OutItem::Kind::real, 0, static_cast<double>(value), {}});
  } else if constexpr (std::is_same_v<V, char>) {
    items.push_back({OutItem::Kind::text, 0, 0.0, std::string_view(&value, 1)});
  } else if constexpr (std::is_convertible_v<const V&, std::string_view>) {
    items.push_back({OutItem::Kind::text, 0, 0.0, std::string_view(value)});
  } else {
    for (const auto& element : value) add_out(items, element);  // arrays, spans, vectors
  }
}

template <typename T>
void add_in(std::vector<InItem>& items, T& target) {
  using V = std::remove_cv_t<T>;
  if constexpr (std::is_same_v<V, int> || std::is_same_v<V, std::int32_t>) {
    items.push_back({InItem::Kind::int32, &target});
  } else if constexpr (std::is_same_v<V, float>) {
    items.push_back({InItem::Kind::real32, &target});
  } else if constexpr (std::is_same_v<V, double>) {
    items.push_back({InItem::Kind::real64, &target});
  } else if constexpr (std::is_same_v<V, std::string>) {
    items.push_back({InItem::Kind::text, &target});
  } else {
    for (auto& element : target) add_in(items, element);  // arrays, spans, vectors
  }
}

template <typename... T>
std::vector<OutItem> out_items(const T&... values) {
  std::vector<OutItem> items;
  items.reserve(sizeof...(T));
  (add_out(items, values), ...);
  return items;
}

template <typename... T>
std::vector<InItem> in_items(T&... targets) {
  std::vector<InItem> items;
  items.reserve(sizeof...(T));
  (add_in(items, targets), ...);
  return items;
}

}  // namespace detail
}  // namespace textio
