// The two response tables: plain two-column text files, one row per natural frequency.
//
// A row is format_table_number(frequency), " \t ", format_table_number(value), CR LF:
//   "   1.0000e+001 \t    2.8569e-002\r\n"
// The bytes are the same on every platform: the file is binary and the program writes CR LF.
#ifndef QUODREL_TABLES_RESPONSE_TABLE_H
#define QUODREL_TABLES_RESPONSE_TABLE_H

#include <array>
#include <cstdio>
#include <string>

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

// One output table, open from open_table until close_table. Move-only; a table that is still
// open when destroyed is closed without a report, which only happens on a run already failing.
struct ResponseTable {
  std::string name;
  std::FILE* file = nullptr;
  int error = 0;  // errno of the first failure to create, write or close; 0 while all is well

  ResponseTable() = default;
  ResponseTable(ResponseTable&& other) noexcept;
  ResponseTable& operator=(ResponseTable&&) = delete;
  ~ResponseTable();
};

// Creates the named file, or empties it if it exists; the name is used whole, as typed.
// On failure the table is not open and error holds the reason.
ResponseTable open_table(const std::string& name);

// Appends one row. The frequency comes already formatted, because both tables' rows at one grid
// point share it. Returns false (and records the reason in table.error) if the write failed.
bool write_row(ResponseTable& table, const TableNumber& frequency, double value);

// Flushes and closes the file. Returns false (and records the reason) if either failed.
bool close_table(ResponseTable& table);

// Whether the two names denote one existing file, however they are spelled.
bool same_file(const std::string& first_name, const std::string& second_name);

// The system's description of the table's failure, e.g. "No such file or directory".
std::string table_error_text(const ResponseTable& table);

}  // namespace quodrel

#endif
