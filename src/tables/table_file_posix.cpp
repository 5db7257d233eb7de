// The table files on POSIX: names are bytes, and a file is its device and inode.
#include <sys/stat.h>
#include <unistd.h>

#include "tables/table_file.h"

namespace quodrel {

namespace {

FileIdentity identity_of(const struct stat& status) {
  struct stat null_status;
  FileIdentity identity;
  identity.known = true;
  identity.regular = S_ISREG(status.st_mode);
  identity.null_device = S_ISCHR(status.st_mode) && stat("/dev/null", &null_status) == 0 &&
                         status.st_rdev == null_status.st_rdev;
  identity.device = static_cast<std::uint64_t>(status.st_dev);
  identity.index = static_cast<std::uint64_t>(status.st_ino);
  return identity;
}

}  // namespace

bool system_name(const std::string& name, std::filesystem::path& path, std::string&) {
  path = name;
  return true;
}

FileIdentity identify(const std::filesystem::path& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? identity_of(status) : FileIdentity{};
}

FileIdentity identify(std::FILE* file) {
  struct stat status;
  return fstat(fileno(file), &status) == 0 ? identity_of(status) : FileIdentity{};
}

std::FILE* create_file(const std::filesystem::path& path) { return std::fopen(path.c_str(), "wb"); }

bool remove_file(const std::filesystem::path& path) { return unlink(path.c_str()) == 0; }

}  // namespace quodrel
