#include "tables/response_table.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace quodrel {

namespace {

// The errno of a failed library call; EIO when the library left none.
int last_error() { return errno != 0 ? errno : EIO; }

bool has_nul(const std::string& name) { return name.find('\0') != std::string::npos; }

// The file a name denotes when fopen opens it. On Windows fopen reads a name's bytes in the ANSI
// code page, whereas a path made from a std::string would read them in another encoding and,
// beyond ASCII, denote another file.
std::filesystem::path path_for_fopen(const std::string& name) {
#ifdef _WIN32
  const int length = static_cast<int>(name.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, name.data(), length, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), length, wide.data(), static_cast<int>(wide.size()));
  return wide;
#else
  return name;
#endif
}

}  // namespace

ResponseTable::ResponseTable(ResponseTable&& other) noexcept
    : name(std::move(other.name)), file(std::exchange(other.file, nullptr)), error(other.error) {}

ResponseTable::~ResponseTable() {
  if (file != nullptr) std::fclose(file);
}

ResponseTable open_table(const std::string& name) {
  ResponseTable table;
  table.name = name;
  if (has_nul(name)) {  // the system would see only the text before the NUL: refuse it whole
    table.error = EINVAL;
    return table;
  }
  errno = 0;
  // Binary, so that the CR LF written by write_row is the line end on every platform.
  table.file = std::fopen(name.c_str(), "wb");
  if (table.file == nullptr) table.error = last_error();
  return table;
}

bool write_row(ResponseTable& table, const TableNumber& frequency, double value) {
  const TableNumber value_text = format_table_number(value);
  char row[TABLE_ROW_LENGTH];
  std::memcpy(row, frequency.data(), TABLE_NUMBER_WIDTH);
  std::memcpy(row + TABLE_NUMBER_WIDTH, " \t ", 3);
  std::memcpy(row + TABLE_NUMBER_WIDTH + 3, value_text.data(), TABLE_NUMBER_WIDTH);
  std::memcpy(row + 2 * TABLE_NUMBER_WIDTH + 3, "\r\n", 2);
  errno = 0;
  if (std::fwrite(row, 1, sizeof row, table.file) != sizeof row) {
    table.error = last_error();
    return false;
  }
  return true;
}

bool close_table(ResponseTable& table) {
  errno = 0;
  const bool flushed = std::fflush(table.file) == 0;
  if (!flushed) table.error = last_error();
  errno = 0;
  const bool closed = std::fclose(table.file) == 0;
  table.file = nullptr;
  if (!closed && flushed) table.error = last_error();
  return flushed && closed;
}

bool same_file(const std::string& first_name, const std::string& second_name) {
  if (has_nul(first_name) || has_nul(second_name)) return false;
  std::error_code ignored;  // a name that does not exist yet is not the same file
  return std::filesystem::equivalent(path_for_fopen(first_name), path_for_fopen(second_name),
                                     ignored);
}

std::string table_error_text(const ResponseTable& table) { return std::strerror(table.error); }

}  // namespace quodrel
