#include "tables/response_table.h"

#include <cerrno>
#include <cstring>

namespace quodrel {

namespace {

// The system's reason for the failure of the library call just made; EIO when it left none.
std::string system_reason() { return std::strerror(errno != 0 ? errno : EIO); }

// Which already open file, if any, the name must not denote.
std::string clash(const FileIdentity& file, const ResponseTable* other) {
  const struct {
    std::FILE* stream;
    const char* name;
  } standard_streams[] = {
      {stdin, "standard input"}, {stdout, "standard output"}, {stderr, "standard error"}};
  for (const auto& standard : standard_streams) {
    if (same_file(file, identify(standard.stream))) return standard.name;
  }
  if (other != nullptr && same_file(file, other->identity)) return other->name;
  return "";
}

}  // namespace

ResponseTable open_table(const std::string& name, const ResponseTable* other) {
  ResponseTable table;
  table.name = name;
  if (name.find('\0') != std::string::npos) {  // the system would see only the text before it
    table.error = std::strerror(EINVAL);
    return table;
  }
  if (!system_name(name, table.path, table.error)) return table;
  const std::string clashing = clash(identify(table.path), other);
  if (!clashing.empty()) {
    table.error = "names the same file as " + clashing;
    return table;
  }
  errno = 0;
  table.file.reset(create_file(table.path));
  if (table.file == nullptr) {
    table.error = system_reason();
    return table;
  }
  table.identity = identify(table.file.get());
  return table;
}

void write_row(ResponseTable& table, const TableNumber& frequency, double value) {
  const TableNumber value_text = format_table_number(value);
  char row[TABLE_ROW_LENGTH];
  std::memcpy(row, frequency.data(), TABLE_NUMBER_WIDTH);
  std::memcpy(row + TABLE_NUMBER_WIDTH, " \t ", 3);
  std::memcpy(row + TABLE_NUMBER_WIDTH + 3, value_text.data(), TABLE_NUMBER_WIDTH);
  std::memcpy(row + 2 * TABLE_NUMBER_WIDTH + 3, "\r\n", 2);
  errno = 0;
  if (std::fwrite(row, 1, sizeof row, table.file.get()) != sizeof row) {
    table.error = system_reason();
  }
}

void close_table(ResponseTable& table) {
  errno = 0;
  const bool flushed = std::fflush(table.file.get()) == 0;
  if (!flushed) table.error = system_reason();
  errno = 0;
  const bool closed = std::fclose(table.file.release()) == 0;
  if (!closed && flushed) table.error = system_reason();
}

Removal remove_incomplete_table(ResponseTable& table, std::string& reason) {
  table.file.reset();
  // Only a file this run opened, and only while the name leads to it: not a FIFO or a device
  // it wrote into, and not a file that has since taken the name.
  if (!table.identity.regular || !same_file(identify(table.path), table.identity)) {
    return Removal::not_needed;
  }
  errno = 0;
  if (remove_file(table.path)) return Removal::removed;
  reason = system_reason();
  return Removal::failed;
}

}  // namespace quodrel
