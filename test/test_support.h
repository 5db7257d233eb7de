// Helpers shared by the tests: scratch folders, whole files and the approved files.
#ifndef QUODREL_TEST_SUPPORT_H
#define QUODREL_TEST_SUPPORT_H

#include <string>
#include <vector>

namespace quodrel::test {

// A new empty folder, removed with everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
bool file_exists(const std::string& path);
std::vector<std::string> file_names(const std::string& folder);

// The last `length` characters of `text`, or all of it when it is shorter.
std::string tail(const std::string& text, std::size_t length);

// The approved copy of a file the program writes, from the test/approved folder.
std::string approved(const std::string& name);

}  // namespace quodrel::test

#endif
