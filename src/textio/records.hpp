// Data transfers: formatted records on units and in text variables, list-directed output,
// and unformatted direct-access records.
//
// Every transfer comes in two forms. The plain form (write_record, read_record, ...) is for a
// caller that does not take the status: a failure throws IoFailure with the I/O failure report of
// that transfer. The try_ form returns the status (0, -1 at end of file, or an error number) and
// never throws; a caller that then gives up calls raise_io_failure(status), which reports the
// latest transfer that the main thread ended.
//
// Threads: the main thread only, but for write_whole_records (see there).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textio/items.hpp"

namespace textio {

// ---- Formatted sequential records on a unit ----
int try_write_record_items(int unit, std::string_view format, const std::vector<OutItem>& items);
int try_read_record_items(int unit, std::string_view format, const std::vector<InItem>& items);

template <typename... T>
int try_write_record(int unit, std::string_view format, const T&... values) {
  return try_write_record_items(unit, format, detail::out_items(values...));
}
template <typename... T>
void write_record(int unit, std::string_view format, const T&... values);
template <typename... T>
int try_read_record(int unit, std::string_view format, T&... targets) {
  return try_read_record_items(unit, format, detail::in_items(targets...));
}
template <typename... T>
void read_record(int unit, std::string_view format, T&... targets);

// ---- Formatted direct-access records: record n starts at byte (n - 1) x record length ----
int try_write_direct_items(int unit, int record, std::string_view format,
                           const std::vector<OutItem>& items);
int try_read_direct_items(int unit, int record, std::string_view format,
                          const std::vector<InItem>& items);

template <typename... T>
int try_write_direct(int unit, int record, std::string_view format, const T&... values) {
  return try_write_direct_items(unit, record, format, detail::out_items(values...));
}
template <typename... T>
void write_direct(int unit, int record, std::string_view format, const T&... values);
template <typename... T>
int try_read_direct(int unit, int record, std::string_view format, T&... targets) {
  return try_read_direct_items(unit, record, format, detail::in_items(targets...));
}
template <typename... T>
void read_direct(int unit, int record, std::string_view format, T&... targets);

// The records from `first_record` on, as many as `bytes` holds, in one transfer rather than a
// seek and a read for each: a reader of a whole file pays system calls for its size, not for its
// record count. `got` receives the number of bytes read, fewer than asked only at the end of the
// file (0 there); the last record of a file cut short comes in part. A failure is reported as
// the failure of the "(A)" read of one record would be.
int try_read_direct_records(int unit, int first_record, std::span<std::byte> bytes,
                            std::size_t& got);

// ---- Unformatted direct-access records: raw bytes of one record ----
// Reads up to bytes.size() bytes from the start of the record (at most the record length).
// A record beyond the end of the file gives -1; a request longer than the record gives 110.
int try_read_direct_bytes(int unit, int record, std::span<std::byte> bytes);
void read_direct_bytes(int unit, int record, std::span<std::byte> bytes);
int try_write_direct_bytes(int unit, int record, std::span<const std::byte> bytes);

// ---- Internal files: a text variable of fixed width ----
int try_write_text_items(std::string& text, std::string_view format,
                         const std::vector<OutItem>& items);
int try_read_text_items(std::string_view text, std::string_view format,
                        const std::vector<InItem>& items);

// Writes the items into a text of `width` characters, blank-padded.
template <typename... T>
std::string write_text(std::size_t width, std::string_view format, const T&... values);
template <typename... T>
int try_read_text(std::string_view text, std::string_view format, T&... targets) {
  return try_read_text_items(text, format, detail::in_items(targets...));
}
template <typename... T>
void read_text(std::string_view text, std::string_view format, T&... targets);

// ---- List-directed output: one record per call, 80-column records ----
int try_write_list_items(int unit, const std::vector<OutItem>& items);
template <typename... T>
void write_list(int unit, const T&... values);

// Records made by the caller, each already ended with record_end(unit), written to a sequential
// unit in one piece: the grid file's hot path. A failure raises the report of this transfer.
//
// Threads: worker threads may call it on a file unit that the main thread has connected, one call
// at a time, each ordered after the last by the caller's synchronisation, and no other use of the
// units meanwhile. It changes only that unit's entry in the unit table (its buffer, its file
// and its latest transfer, which a failed close reports) and no other program-wide state: in
// particular not the latest transfer that raise_io_failure(status) reports.
void write_whole_records(int unit, std::string_view records);
// What ends a record written to `unit`: CR LF in files, LF on the console.
std::string_view record_end(int unit);

// ---- Failure ----
// Raises the I/O failure report of the latest transfer, open, close or sync that the main thread
// ended, failing with `status`: for a caller of a try_ form that does not go on.
[[noreturn]] void raise_io_failure(int status);

// The plain forms of the transfers above, taking their items as a list.
void write_record_items(int unit, std::string_view format, const std::vector<OutItem>& items);
void read_record_items(int unit, std::string_view format, const std::vector<InItem>& items);
void write_direct_items(int unit, int record, std::string_view format,
                        const std::vector<OutItem>& items);
void read_direct_items(int unit, int record, std::string_view format,
                       const std::vector<InItem>& items);
void write_text_items(std::string& text, std::string_view format,
                      const std::vector<OutItem>& items);
void read_text_items(std::string_view text, std::string_view format,
                     const std::vector<InItem>& items);
void write_list_items(int unit, const std::vector<OutItem>& items);

template <typename... T>
void write_record(int unit, std::string_view format, const T&... values) {
  write_record_items(unit, format, detail::out_items(values...));
}
template <typename... T>
void read_record(int unit, std::string_view format, T&... targets) {
  read_record_items(unit, format, detail::in_items(targets...));
}
template <typename... T>
void write_direct(int unit, int record, std::string_view format, const T&... values) {
  write_direct_items(unit, record, format, detail::out_items(values...));
}
template <typename... T>
void read_direct(int unit, int record, std::string_view format, T&... targets) {
  read_direct_items(unit, record, format, detail::in_items(targets...));
}
template <typename... T>
std::string write_text(std::size_t width, std::string_view format, const T&... values) {
  std::string text(width, ' ');
  write_text_items(text, format, detail::out_items(values...));
  return text;
}
template <typename... T>
void read_text(std::string_view text, std::string_view format, T&... targets) {
  read_text_items(text, format, detail::in_items(targets...));
}
template <typename... T>
void write_list(int unit, const T&... values) {
  write_list_items(unit, detail::out_items(values...));
}

}  // namespace textio
