// The table files on Windows: names are UTF-16, given to the wide API, and a file is its volume
// serial number and file index.
#include <windows.h>
#include <io.h>

#include <string>

#include "tables/table_file.h"

namespace quodrel {

namespace {

FileIdentity identity_of(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !GetFileInformationByHandle(handle, &information)) {
    return {};  // no such file, or one with no identity: a console, a pipe, the null device
  }
  FileIdentity identity;
  identity.known = true;
  identity.regular = GetFileType(handle) == FILE_TYPE_DISK &&
                     (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  identity.device = information.dwVolumeSerialNumber;
  identity.index = static_cast<std::uint64_t>(information.nFileIndexHigh) << 32 |
                   information.nFileIndexLow;
  return identity;
}

// Decodes text in the code page, refusing bytes that are not valid there.
bool decode(UINT code_page, const std::string& text, std::wstring& wide) {
  const int size = static_cast<int>(text.size());
  const int length =
      MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length == 0) return text.empty();
  wide.assign(static_cast<std::size_t>(length), L'\0');
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(),
                             length) == length;
}

}  // namespace

bool system_name(const std::string& name, std::filesystem::path& path, std::string& reason) {
  std::wstring wide;
  if (!decode(CP_UTF8, name, wide) && !decode(CP_ACP, name, wide)) {
    reason = "the name is neither UTF-8 nor text in code page " + std::to_string(GetACP());
    return false;
  }
  path = wide;
  return true;
}

FileIdentity identify(const std::filesystem::path& path) {
  // No access asked, only the information; a folder opens only with backup semantics.
  const HANDLE handle =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const FileIdentity identity = identity_of(handle);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return identity;
}

FileIdentity identify(std::FILE* file) {
  return identity_of(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

std::FILE* create_file(const std::filesystem::path& path) { return _wfopen(path.c_str(), L"wb"); }

bool remove_file(const std::filesystem::path& path) { return _wremove(path.c_str()) == 0; }

}  // namespace quodrel
