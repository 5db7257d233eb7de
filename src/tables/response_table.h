// The two response tables: plain two-column text files, one row per natural frequency.
//
// A row is format_table_number(frequency), " \t ", format_table_number(value), CR LF:
//   "   1.0000e+001 \t    2.8569e-002\r\n"
// The bytes are the same on every platform: the file is binary and the program writes CR LF.
#ifndef QUODREL_TABLES_RESPONSE_TABLE_H
#define QUODREL_TABLES_RESPONSE_TABLE_H

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tables/table_file.h"

namespace quodrel {

constexpr int TABLE_NUMBER_WIDTH = 14;
constexpr int TABLE_ROW_LENGTH = 2 * TABLE_NUMBER_WIDTH + 3 + 2;  // two numbers, " \t ", CR LF

using TableNumber = std::array<char, TABLE_NUMBER_WIDTH>;

// Scientific notation with five significant digits and a three-digit exponent, right-aligned in
// 14 characters: the digits are those of |x| to 17 significant digits, rounded half-up at the
// sixth. Zero of either sign has no minus sign; values that are not finite give "NaN", "Inf" or
// "-Inf". Locale-independent.
//   10 -> "   1.0000e+001"   -12.345 -> "  -1.2345e+001"   1.03125 -> "   1.0313e+000"
TableNumber format_table_number(double x);

// Closes a file without a report: for a table that a failed run gives up.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// One output table. Every operation reports failure the same way: it sets `error`, and a table
// whose error is set is given up, never written again.
struct ResponseTable {
  std::string name;            // as typed
  std::filesystem::path path;  // the name as the system reads it
  std::unique_ptr<std::FILE, FileCloser> file;  // open from open_table until close_table
  FileIdentity identity;       // of the file opened, to remove only that one
  std::string error;           // why the table failed, e.g. "No space left on device"
};

// Creates the named file, or empties it if it exists; the name is used whole, as typed. A name
// that denotes standard input, output or error, or the file of `other` (the table opened
// before), is refused without touching the file: two streams on one file would corrupt it.
ResponseTable open_table(const std::string& name, const ResponseTable* other = nullptr);

// Appends one row. The frequency comes already formatted, because both tables' rows at one grid
// point share it.
void write_row(ResponseTable& table, const TableNumber& frequency, double value);

// Flushes and closes the file.
void close_table(ResponseTable& table);

// Gives up the table of a failed run: closes it and removes the file if this run created or
// emptied it as a regular file (never a FIFO or a device) and the name still denotes that file.
enum class Removal { not_needed, removed, failed };
Removal remove_incomplete_table(ResponseTable& table, std::string& reason);

}  // namespace quodrel

#endif
