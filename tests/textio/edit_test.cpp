// Descriptor editing and list-directed text, compared literally.
#include "textio/edit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "textio/list_real.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"

namespace textio {
namespace {

std::string list_real(double value) {
  char buffer[64];
  return std::string(buffer, format_list_real(value, buffer));
}

struct ListRealCase {
  double value;
  const char* text;
};

TEST(ListDirectedReal, WritesNineDigitsWithPointAndThreeDigitExponent) {
  const ListRealCase cases[] = {
      {0.0, "  0."},
      {-0.0, "  0."},
      {1.0, "  1."},
      {-0.25, " -0.25"},
      {0.5, "  0.5"},
      {-2.0, " -2."},
      {-2.5, " -2.5"},
      {0.1f, "  0.100000001"},
      {0.00005f, "  4.99999987E-005"},
      {std::ldexp(1.0, -16), "  1.52587891E-005"},
      {1e12, "  1.E+012"},
      {1e12f, "  9.99999996E+011"},
      {123456789.0f, "  123456792."},
      {999999999.6, "  1.E+009"},
      {999999999.0, "  999999999."},
      {100000000.0f, "  100000000."},
      {0.0001f, "  9.99999975E-005"},
      {0.0001, "  0.0001"},
      {std::ldexp(1.0, -14), "  6.10351562E-005"},  // a tie, rounded to even
      {3.4028234663852886e38, "  3.40282347E+038"},
      {1.17549435e-38f, "  1.17549435E-038"},
      {1e-30f, "  1.E-030"},
      {-1234.5678f, " -1234.56775"},
      {12.34f, "  12.3400002"},
  };
  for (const ListRealCase& c : cases) EXPECT_EQ(list_real(c.value), c.text) << c.value;
}

TEST(ListDirectedReal, AgreesWithTheCLibraryOverManySingleValues) {
  // Exhaustive over a stride of bit patterns: every exponent, varied mantissas.
  for (std::uint32_t bits = 0x00800000; bits < 0x7F800000; bits += 0x0001F3B5) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.9G", static_cast<double>(value));
    std::string want(expected);
    std::size_t e = want.find('E');
    std::string mantissa = want.substr(0, e);
    if (mantissa.find('.') == std::string::npos) mantissa += '.';
    std::string exponent;
    if (e != std::string::npos) {
      int x = std::atoi(want.c_str() + e + 1);
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "E%c%03d", x < 0 ? '-' : '+', std::abs(x));
      exponent = buffer;
    }
    ASSERT_EQ(list_real(value), "  " + mantissa + exponent) << bits;
  }
}

struct OutputCase {
  const char* name;
  std::string text;
  const char* expected;
};

TEST(OutputEditing, FieldsMatchTheRecordRules) {
  const OutputCase cases[] = {
      {"I4 of 12345", edit_integer(12345, 4), "****"},
      {"I4 of -12", edit_integer(-12, 4), " -12"},
      {"I5 of 0", edit_integer(0, 5), "    0"},
      {"F6.2 of 0.5", edit_fixed(0.5, 6, 2, 0), "  0.50"},
      {"F6.2 of -0.001", edit_fixed(-0.001, 6, 2, 0), "  0.00"},
      {"F6.2 of -0.03", edit_fixed(-0.03, 6, 2, 0), " -0.03"},
      {"F6.2 of 12.34", edit_fixed(12.34f, 6, 2, 0), " 12.34"},
      {"F4.2 of 0.5 keeps the zero", edit_fixed(0.5, 4, 2, 0), "0.50"},
      {"F3.2 of 0.5 drops the zero", edit_fixed(0.5, 3, 2, 0), ".50"},
      {"F4.2 of -0.5 drops the zero", edit_fixed(-0.5, 4, 2, 0), "-.50"},
      {"F10.5 of 5.4307", edit_fixed(5.4307f, 10, 5, 0), "   5.43070"},
      {"F10.4 of 90", edit_fixed(90.0, 10, 4, 0), "   90.0000"},
      {"F10.5 of 10000", edit_fixed(10000.0, 10, 5, 0), "**********"},
      {"F5.0 of 12", edit_fixed(12.0, 5, 0, 0), "  12."},
      {"E15.4 of 123.456", edit_exponent(123.456, 15, 4, 0), "     0.1235E+03"},
      {"E15.4 of -0.00123456", edit_exponent(-0.00123456, 15, 4, 0), "    -0.1235E-02"},
      {"E15.6 of 0", edit_exponent(0.0, 15, 6, 0), "   0.000000E+00"},
      {"1PE12.4 of 123.456", edit_exponent(123.456, 12, 4, 1), "  1.2346E+02"},
      {"E11.4 of 1e-120", edit_exponent(1e-120, 11, 4, 0), "0.1000E-119"},
      {"E9.4 drops the zero", edit_exponent(123.456, 9, 4, 0), ".1235E+03"},
      {"1P,G7.0 of 100", edit_general(100.0, 7, 0, 1), " 1.E+02"},
      {"G12.4 of 12.5", edit_general(12.5, 12, 4, 0), "   12.50    "},
      {"G12.4 of 0.5", edit_general(0.5, 12, 4, 0), "  0.5000    "},
      {"G12.4 of 12346", edit_general(12346.0, 12, 4, 0), "  0.1235E+05"},
      {"G12.4 of 0.01", edit_general(0.01, 12, 4, 0), "  0.1000E-01"},
      {"A of text", edit_text("CRS", 0), "CRS"},
      {"A5 of short text", edit_text("AB", 5), "   AB"},
      {"A2 of long text", edit_text("ABCD", 2), "AB"},
  };
  for (const OutputCase& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(OutputEditing, AFieldHoldsAtLeastOneDigit) {
  const OutputCase cases[] = {
      {"F1.0 of 0.3", edit_fixed(0.3, 1, 0, 0), "*"},
      {"F1.0 of 0", edit_fixed(0.0, 1, 0, 0), "*"},
      {"F1.0 of -0.3", edit_fixed(-0.3, 1, 0, 0), "*"},
      {"F2.0 of 0.3", edit_fixed(0.3, 2, 0, 0), "0."},
      {"F2.0 of -0.7", edit_fixed(-0.7, 2, 0, 0), "**"},
      {"F2.1 of 0.25", edit_fixed(0.25, 2, 1, 0), ".2"},
      {"F1.0 of 3", edit_fixed(3.0, 1, 0, 0), "*"},
  };
  for (const OutputCase& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(OutputEditing, GFieldsThatDoNotFitAreAllAsterisks) {
  const OutputCase cases[] = {
      {"G5.1 of 0.125", edit_general(0.125, 5, 1, 0), "*****"},
      {"G6.3 of 1.5", edit_general(1.5, 6, 3, 0), "******"},
      {"G7.3 of -1.5", edit_general(-1.5, 7, 3, 0), "*******"},
      {"G8.3 of 1.5 fits", edit_general(1.5, 8, 3, 0), "1.50    "},
      {"G9.3 of -1.5 fits", edit_general(-1.5, 9, 3, 0), "-1.50    "},
      {"G6.1 of 0.125 fits without its zero", edit_general(0.125, 6, 1, 0), ".1    "},
  };
  for (const OutputCase& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(OutputEditing, ScaledFixedFieldsRoundTheExactValueTiesToEven) {
  const OutputCase cases[] = {
      {"-1P,F12.6 of 10.984375", edit_fixed(10.984375, 12, 6, -1), "    1.098438"},
      {"-1P,F12.6 of 12.515625", edit_fixed(12.515625, 12, 6, -1), "    1.251562"},
      {"-1P,F12.6 of -12.515625", edit_fixed(-12.515625, 12, 6, -1), "   -1.251562"},
      {"-2P,F6.0 of 250", edit_fixed(250.0, 6, 0, -2), "    2."},
      {"-2P,F6.0 of 350", edit_fixed(350.0, 6, 0, -2), "    4."},
      {"-2P,F6.0 of 250.5", edit_fixed(250.5, 6, 0, -2), "    3."},
      {"-3P,F10.1 of 1234.5", edit_fixed(1234.5, 10, 1, -3), "       1.2"},
      {"-3P,F10.1 of 1250", edit_fixed(1250.0, 10, 1, -3), "       1.2"},
      {"-3P,F10.1 of 1350", edit_fixed(1350.0, 10, 1, -3), "       1.4"},
      {"-3P,F10.1 of 1250.25", edit_fixed(1250.25, 10, 1, -3), "       1.3"},
      {"-3P,F10.1 of 9999.5", edit_fixed(9999.5, 10, 1, -3), "      10.0"},
      {"-4P,F6.1 of 5000", edit_fixed(5000.0, 6, 1, -4), "   0.5"},
      {"-4P,F6.0 of 5000", edit_fixed(5000.0, 6, 0, -4), "    0."},
      {"-4P,F6.0 of -5000.5", edit_fixed(-5000.5, 6, 0, -4), "   -1."},
      {"-4P,F6.0 of -4999", edit_fixed(-4999.0, 6, 0, -4), "    0."},
      {"-6P,F6.1 of 1234.5", edit_fixed(1234.5, 6, 1, -6), "   0.0"},
      {"1P,F10.3 of 0.05", edit_fixed(0.05, 10, 3, 1), "     0.500"},
      {"1P,F5.0 of the double nearest 0.15", edit_fixed(0.15, 5, 0, 1), "   1."},
      {"2P,F8.2 of 1.25", edit_fixed(1.25, 8, 2, 2), "  125.00"},
  };
  for (const OutputCase& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(OutputEditing, FieldsOfManyDigitsAreEditedWhole) {
  const std::string zeros99(99, '0');
  const struct {
    const char* name;
    std::string text;
    std::string expected;
  } cases[] = {
      {"E80.100 of 1", edit_exponent(1.0, 80, 100, 0), std::string(80, '*')},
      {"E110.100 of 1", edit_exponent(1.0, 110, 100, 0), "    0.1" + zeros99 + "E+01"},
      {"E110.100 of 1e22", edit_exponent(1e22, 110, 100, 0), "    0.1" + zeros99 + "E+23"},
      {"G110.100 of 1", edit_general(1.0, 110, 100, 0),
       std::string(5, ' ') + "1." + zeros99 + std::string(4, ' ')},
      {"G110.100 of 0.5", edit_general(0.5, 110, 100, 0), "    0.5" + zeros99 + "    "},
      {"F425.400 of 1e22", edit_fixed(1e22, 425, 400, 0),
       " 1" + std::string(22, '0') + "." + std::string(400, '0')},
      {"F424.400 of -1e22", edit_fixed(-1e22, 424, 400, 0), std::string(424, '*')},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected) << c.name;
}

TEST(InputEditing, IntegerFields) {
  struct Case {
    const char* field;
    int value;
    int status;
  } cases[] = {
      {"  12", 12, 0},
      {"    ", 0, 0},
      {"", 0, 0},
      {" -3 ", -3, 0},
      {"1 2", 12, 0},
      {"+7", 7, 0},
      {"A", 0, kErrUnexpectedCharacter},
      {"1-", 0, kErrUnexpectedCharacter},
      {"2147483647", 2147483647, 0},
      {"-2147483648", -2147483647 - 1, 0},
      {"2147483648", 0, kErrUnexpectedCharacter},
      {"-2147483649", 0, kErrUnexpectedCharacter},
      {"21474836470", 0, kErrUnexpectedCharacter},
      {"99999999999999999999999", 0, kErrUnexpectedCharacter},
  };
  for (const Case& c : cases) {
    int value = -99;
    EXPECT_EQ(read_integer(c.field, value), c.status) << c.field;
    if (c.status == 0) {
      EXPECT_EQ(value, c.value) << c.field;
    }
  }
}

TEST(InputEditing, RealFieldsWithImpliedDecimalsAndExponents) {
  struct Case {
    const char* field;
    int digits;
    int scale;
    double value;
  } cases[] = {
      {"5.43      ", 0, 0, 5.43}, {"   543", 2, 0, 5.43},  {"  12", 0, 0, 12.0},
      {"          ", 0, 0, 0.0},  {"1.5E2", 0, 0, 150.0},  {"1.5e-1", 3, 0, 0.15},
      {"1.5+2", 0, 0, 150.0},     {"-2.5", 1, 0, -2.5},    {" 1 . 2 5", 0, 0, 1.25},
      {"15", 1, 0, 1.5},          {"12", 0, 1, 1.2},       {"1.2E1", 0, 1, 12.0},
      {"1.5E 2", 0, 0, 150.0},    {"1.5- 2", 0, 0, 0.015}, {"1.5d+2 ", 0, 0, 150.0},
      {".5", 0, 0, 0.5},          {"-", 0, 0, 0.0},
  };
  for (const Case& c : cases) {
    double value = -99;
    ASSERT_EQ(read_real(c.field, c.digits, c.scale, value), 0) << c.field;
    EXPECT_DOUBLE_EQ(value, c.value) << c.field;
  }
  float single;
  ASSERT_EQ(read_real("0.1", 0, 0, single), 0);
  EXPECT_EQ(single, 0.1f);
}

TEST(InputEditing, RealFieldsThatAreNotNumbersAreRefused) {
  // An exponent letter or an exponent sign must be followed by at least one digit.
  for (const char* field : {"1.2.3", "X", "1.5E+", "1.5+", "1.5-  ", "1.5E", "1.5D   ", "1.5e- ",
                            "1.5E+-2", "1.5E2+", "1.5EE2", "1.5E2.", "1.5E999999"}) {
    double value = -99;
    EXPECT_EQ(read_real(field, 0, 0, value), kErrUnexpectedCharacter) << field;
    EXPECT_EQ(value, -99) << field;
  }
}

TEST(InputEditing, TextFieldsPadOrTakeTheRightmostCharacters) {
  std::string wide(6, '?');
  read_text_field("ABC", wide);
  EXPECT_EQ(wide, "ABC   ");
  std::string narrow(2, '?');
  read_text_field("ABCD", narrow);
  EXPECT_EQ(narrow, "CD");
}

}  // namespace
}  // namespace textio
