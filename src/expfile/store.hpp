// The experiment file as its callers see it: keyed records of a 12-character key and a
// 68-character value, stored as 82-byte records (80 characters, CR, LF) on a direct-access unit,
// read and written only through KEYREAD, WRITEXP and ISAMCLOSE.
//
// Threads: the main thread only (units and program-wide state have no lock).
#pragma once

#include <string>
#include <string_view>

#include "expfile/index.hpp"
#include "expfile/keys.hpp"

namespace expfile {

inline constexpr int kKeyLength = 12;
inline constexpr int kValueLength = 68;
inline constexpr int kRecordLength = 82;

// The value text that turns a KEYREAD into a delete, when it fills a field of exactly its width.
inline constexpr std::string_view kDeleteRequest = "DELETE";

// Reads (or deletes) a record and returns 0 when one was found, 1 when none was.
// The key's length and content choose the request: 12 characters, not all blank, an exact read;
// fewer characters, a prefix read (the value then starts with the rest of the found key);
// 12 blanks, the next record in key order, whose key is delivered into `key`. A `value` field
// of exactly six characters holding "DELETE" deletes the record found instead and leaves `key`
// and `value` alone. The 68 characters delivered are cut or blank-padded to the field's width;
// a field is all blank when nothing is found. The first access to a unit builds its index.
int KEYREAD(int unit, std::string& key, std::string& value);

// The same, for a key that the caller does not need back (a next read then delivers no key).
int KEYREAD(int unit, std::string_view key, std::string& value);

// Writes the record at once: over the live record with the same key, or appended after the last
// record of the file. Trailing blanks and NULs of `value` are dropped; what remains must be at
// most 68 characters, otherwise the run stops with a programmer-error report.
void WRITEXP(int unit, std::string_view key, std::string_view value);

// Releases the index of `unit` and closes its file, removing it when the disposition begins with
// "D". A unit without an index is left untouched.
void ISAMCLOSE(int unit, std::string_view disposition);

// ISAMCLOSE with "KEEP" for a file that the run opens again at once: the tables of its index are
// handed back for adopt_index (index.hpp). A unit without an index is closed all the same.
KeptIndex close_keeping_index(int unit);

// The text without its trailing blanks and NULs: what fixed-width fields from other programs
// are padded with.
std::string_view without_trailing_padding(std::string_view text);

// Stops the run with a programmer-error report naming `routine` when `key` is longer than the
// 12 characters of a record key.
void require_short_key(std::string_view routine, std::string_view key);

}  // namespace expfile
