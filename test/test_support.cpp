#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace quodrel::test {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("quodrel-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {  // false when it exists already
      root_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("no new scratch folder in " + fs::temp_directory_path().string());
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

bool file_exists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

std::vector<std::string> file_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

std::string tail(const std::string& text, std::size_t length) {
  return text.substr(text.size() - std::min(length, text.size()));
}

std::string approved(const std::string& name) {
  const std::string path = std::string(APPROVED_DIR) + "/" + name;
  EXPECT_TRUE(file_exists(path)) << path;
  return read_file(path);
}

}  // namespace quodrel::test
