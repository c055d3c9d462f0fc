// The numbered errors of the space-group symbol interpreter, each beside its message.
#pragma once

#include <array>
#include <string_view>

namespace symmetry {

// A description or error unit of 0 or less asks the interpreter for no report: textio's unit 0,
// the error stream, is never written here. kSilent is the unit the program passes for that.
inline constexpr int kSilent = -1;

constexpr bool reports_to(int unit) {
  return unit > 0;
}

enum SymbolError : int {
  kTooFewFields = 1,
  kIllegalLattice = 2,
  kRhombohedralWithoutThreeFold = 3,
  kBarWithoutDigit = 4,
  kNotAGroup = 5,
  kNoFirstOperator = 6,
  kNoRule = 7,
  kAGlideNormalToA = 8,
  kBGlideNormalToB = 9,
  kCGlideNormalToC = 10,
  kDGlidePrimitive = 11,
  kFourFoldOutsideField2 = 12,
  kSixFoldOutsideField2 = 13,
  kGeneratorOverflow = 14,
  kProductOverflow = 15,
  kRotationConstruction = 16,
  kNothingAfterSlash = 17,
  kTranslationConflict = 18,  // the one error that leaves a complete operator set behind
  kTwoBar = 19,
  kThreeFieldsNotCubic = 20,
  kExpectedIbar43d = 21,
  kCentredTetragonal = 23,
  kFiveOrThreeInField4 = 25,
  kIllegalCharacter = 29,
};

inline constexpr int kMessageWidth = 48;
inline constexpr int kMessageSlotCount = 30;
inline constexpr int kEmptyMessageSlot = 22;

// The message slots, addressed by error number, 48 characters each. Each error prints the slot
// of its own number, except kFiveOrThreeInField4, whose own slot is empty and which prints slot
// 0. Slots 22, 24 and 26 to 28 stay empty.
constexpr std::array<std::string_view, kMessageSlotCount> message_slots() {
  std::array<std::string_view, kMessageSlotCount> slots;
  slots.fill("                                                ");
  slots[0] = "Either a 5-axis anywhere or a 3-axis in field   ";
  slots[kTooFewFields] = "Less than 2 operator fields were found          ";
  slots[kIllegalLattice] = "Illegal Lattice type, not P, A, B, C, I, F or R ";
  slots[kRhombohedralWithoutThreeFold] = "Rhombohedral lattice without a 3-axis           ";
  slots[kBarWithoutDigit] = "Minus sign does not preceed 1, 2, 3, 4 or 6     ";
  slots[kNotAGroup] = "Lattice S.R. found an error                     ";
  slots[kNoFirstOperator] = "1st operator in a field was a space. Impossible ";
  slots[kNoRule] = "I for COMPUTED GO TO out of range.              ";
  slots[kAGlideNormalToA] = "An A-glide mirror normal to A                   ";
  slots[kBGlideNormalToB] = "A B-glide mirror normal to B                    ";
  slots[kCGlideNormalToC] = "A C-glide mirror normal to C                    ";
  slots[kDGlidePrimitive] = "D-glide in a primitive lattice                  ";
  slots[kFourFoldOutsideField2] = "A 4-axis not in the 2nd operator field          ";
  slots[kSixFoldOutsideField2] = "A 6-axis not in the 2nd operator field          ";
  slots[kGeneratorOverflow] = "More than 24 matrices needed to define group    ";
  slots[kProductOverflow] = "More than 24 matrices needed to define group    ";
  slots[kRotationConstruction] = "Improper construction of a rotation operator    ";
  slots[kNothingAfterSlash] = "No mirror following a /                         ";
  slots[kTranslationConflict] = "A translation conflict between operators        ";
  slots[kTwoBar] = "The 2bar operator is not allowed                ";
  slots[kThreeFieldsNotCubic] = "3 fields are legal only in R & m3 cubic groups  ";
  slots[kExpectedIbar43d] = "Syntax error. Expected I-43d at this point.     ";
  slots[kCentredTetragonal] = "A or B centered tetragonal?   IMPOSSIBLE        ";
  slots[kIllegalCharacter] = "Illegal character in the space group symbol     ";
  return slots;
}

inline constexpr std::array<std::string_view, kMessageSlotCount> kMessageSlots = message_slots();

constexpr bool all_messages_48_wide() {
  for (std::string_view message : kMessageSlots) {
    if (message.size() != kMessageWidth) return false;
  }
  return true;
}
static_assert(all_messages_48_wide());

// The 48-character message of a numbered error; blank for a number that selects no slot.
constexpr std::string_view error_message(int error) {
  if (error == kFiveOrThreeInField4) return kMessageSlots[0];
  if (error < 0 || error >= kMessageSlotCount) return kMessageSlots[kEmptyMessageSlot];
  return kMessageSlots[error];
}

}  // namespace symmetry
