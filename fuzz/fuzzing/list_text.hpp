// What list-directed output must look like, worked out from the C library's "%.9G" alone:
// the oracle against which the list-directed writer is fuzzed.
#pragma once

#include <string>
#include <vector>

namespace fuzzing {

// The text of one real item: a blank, "-" or a blank, then "%.9G" of the magnitude carrying a
// decimal point (appended, or inserted before the "E") and a sign and three digits in its
// exponent; zero is "0.". Infinities and NaNs keep the library's letters, without a point.
std::string expected_list_real(double value);

// The text of an integer item: a blank, then the number.
std::string expected_list_integer(long long value);

// The records of one list-directed write of items whose texts are `items` (each as it would
// start a record; a text item starts with its blank only there): a new record starts before
// an item that would bring a record holding text to 80 characters or more.
struct ListItemText {
  std::string at_record_start;
  std::string within_record;
};
std::vector<std::string> expected_list_records(const std::vector<ListItemText>& items);

}  // namespace fuzzing
