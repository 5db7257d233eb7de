// What the tables need of the file system, one source per platform: the name as the system
// reads it, what a name or a stream denotes, and creating and removing a file.
#ifndef QUODREL_TABLES_TABLE_FILE_H
#define QUODREL_TABLES_TABLE_FILE_H

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace quodrel {

// A file as the system knows it, whatever name or stream leads to it.
struct FileIdentity {
  bool known = false;        // false: no such file, or one the system gives no identity (a console)
  bool regular = false;      // a plain file, not a FIFO, a device, a socket or a folder
  bool null_device = false;  // everything written to it is discarded: two tables there lose nothing
  std::uint64_t device = 0;  // POSIX: st_dev and st_ino; Windows: volume serial number, file index
  std::uint64_t index = 0;
};

// Whether writing through both would mix two streams in one file. The null device never does.
inline bool same_file(const FileIdentity& first, const FileIdentity& second) {
  return first.known && second.known && !first.null_device && first.device == second.device &&
         first.index == second.index;
}

// The name as the system reads it: on POSIX the bytes as typed; on Windows UTF-16, decoded from
// UTF-8 when the bytes are valid UTF-8, and from the ANSI code page otherwise. Returns false, with
// the reason, for bytes that neither decodes.
bool system_name(const std::string& name, std::filesystem::path& path, std::string& reason);

FileIdentity identify(const std::filesystem::path& path);  // what the name denotes now
FileIdentity identify(std::FILE* file);  // a table, or a standard stream

// Creates the file, or empties it if it exists, for writing bytes as they are. On failure
// returns nullptr and sets errno.
std::FILE* create_file(const std::filesystem::path& path);

// Removes the file. On failure returns false and sets errno.
bool remove_file(const std::filesystem::path& path);

}  // namespace quodrel

#endif
