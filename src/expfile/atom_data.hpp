// The element table and the atom data of the installation: an atom type as the suite writes it
// (FE, O-2, SIV, FE_56, D, ...) is checked against the table of 100 element symbols, and its
// scattering-factor records are copied from the atom data file into the experiment file.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace expfile {

inline constexpr int kElementCount = 100;

// Entry k (1-based) of the element table: two upper-case characters, a one-letter symbol
// right-justified behind a blank. Entries 1-3 are " H", " D", " T"; entry k from 4 on is the
// element of atomic number k - 2, "HE" to "CF".
std::string_view element_symbol(int entry);

// The entry (1 to 100) of a two-character symbol, or 0 when the table does not hold it.
int element_entry(std::string_view symbol);

// The atomic number of an entry: 1 for " H", " D" and " T", k - 2 for entry k from 4 on.
int atomic_number(int entry);

// The atom data file under the installation directory, relative to it.
inline constexpr std::string_view kAtomDataFile = "/data/atmdata.dat";

// Copies the scattering-factor records of `atom_type` (8 characters, blank-padded) from the
// atom data file into the experiment file open on `unit`: X-ray factors, neutron data, the
// "M" and "N" lines when present, and the "XAB", "XAN" and "SIZ" lines. `status` receives 0 on
// success and 1 when the atom type was refused or data is missing (a message line on the
// terminal says which). On success `size_text` receives the first 53 characters of the "SIZ"
// value (53 characters, blank-padded). The installation directory comes from the environment
// variable TARN (or tarn); without either, from the installed directory when its atom data file
// is there; otherwise the run stops.
void ATMDAT(int unit, std::string_view atom_type, int& status, std::string& size_text);

// The directory of an installed program's atom data, taken when neither TARN nor tarn is set.
// Empty (the start, and after reset_program_state) means none.
void set_installed_directory(std::string_view directory);

// Searches lines 1 to `count` of `lines` for the first whose columns 1-12 equal the 12-character
// `key`. Returns 0 and puts its columns 13-80 into `value` (68 characters), or returns 1 and
// sets `value` to 68 blanks.
int ATMSRCH(std::span<const std::string> lines, int count, std::string_view key,
            std::string& value);

}  // namespace expfile
