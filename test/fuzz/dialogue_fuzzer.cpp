// Fuzzes the whole dialogue in-process: any bytes as the answers, tables in a scratch folder.
//
// A fuzzed file name could be any path, so the harness replaces every '/' in the input by '_'
// before the run: each name is then one entry of the scratch folder, which is the current folder.
// Properties: the status is 0, 1 or 2; a refusal creates no file; every row of every table is
// 31 characters and CR LF; the two tables of a finished run are the two files the summary names,
// with the same number of rows (1 to 1000) and the same first column; a run that ends with a
// table failure leaves no file behind; the key wait comes exactly when the status is 0.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "quodrel.h"
#include "tables/response_table.h"

namespace {

namespace fs = std::filesystem;

// Every row is a number, " \t ", a number and CR LF: TABLE_ROW_LENGTH bytes. Returns the rows
// without their line ends.
std::vector<std::string> table_rows(const std::string& content) {
  using quodrel::TABLE_NUMBER_WIDTH, quodrel::TABLE_ROW_LENGTH;
  constexpr std::size_t TEXT_LENGTH = TABLE_ROW_LENGTH - 2;
  FUZZ_CHECK(content.size() % TABLE_ROW_LENGTH == 0);
  std::vector<std::string> rows;
  for (std::size_t at = 0; at < content.size(); at += TABLE_ROW_LENGTH) {
    const std::string row = content.substr(at, TABLE_ROW_LENGTH);
    FUZZ_CHECK(row.compare(TEXT_LENGTH, 2, "\r\n") == 0);
    FUZZ_CHECK(row.compare(TABLE_NUMBER_WIDTH, 3, " \t ") == 0);
    FUZZ_CHECK(row.find_first_of("\r\n") == TEXT_LENGTH);
    rows.push_back(row.substr(0, TEXT_LENGTH));
  }
  return rows;
}

// The two names in the summary "\n NAME:  natural frequency (Hz)   accel (G peak) \n\n NAME: ...".
std::vector<std::string> summary_names(const std::string& output) {
  const std::string heading = "\n\n The output files are: \n";
  const std::string endings[] = {":  natural frequency (Hz)   accel (G peak) \n",
                                 ":  natural frequency (Hz)   accel (GRMS)   \n"};
  std::size_t at = output.find(heading);
  FUZZ_CHECK(at != std::string::npos);
  at += heading.size();
  std::vector<std::string> names;
  for (const std::string& ending : endings) {
    FUZZ_CHECK(output.compare(at, 2, "\n ") == 0);
    const std::size_t start = at + 2;
    const std::size_t end = output.find(' ', start) - 1;  // a name holds no blank
    FUZZ_CHECK(output.compare(end, ending.size(), ending) == 0);
    names.push_back(output.substr(start, end - start));
    at = end + ending.size();
  }
  return names;
}

std::string scratch_folder;

void remove_scratch_folder() { fs::remove_all(scratch_folder); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A memory-backed folder when there is one: each run writes up to 66,000 bytes of tables.
  const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
  std::string path = (base / "quodrel-fuzz-XXXXXX").string();
  FUZZ_CHECK(mkdtemp(path.data()) != nullptr);
  scratch_folder = path;
  fs::current_path(scratch_folder);
  std::atexit(remove_scratch_folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string answers(reinterpret_cast<const char*>(data), size);
  for (char& c : answers) {
    if (c == '/') c = '_';
  }
  std::istringstream in(answers);
  std::ostringstream out;
  int key_waits = 0;
  const int status = quodrel::run_dialogue(in, out, [&key_waits] { ++key_waits; });
  const std::string output = out.str();

  std::map<std::string, std::vector<std::string>> tables;  // by file name
  for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
    FUZZ_CHECK(entry.is_regular_file());
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(file), {}};
    tables[entry.path().filename().string()] = table_rows(content);
  }

  FUZZ_CHECK(status == 0 || status == quodrel::EXIT_DAMPING_REFUSED ||
             status == quodrel::EXIT_TABLE_FAILED);
  FUZZ_CHECK(key_waits == (status == 0 ? 1 : 0));
  if (status == quodrel::EXIT_DAMPING_REFUSED) FUZZ_CHECK(tables.empty());
  if (status == quodrel::EXIT_TABLE_FAILED) FUZZ_CHECK(tables.empty());  // the incomplete removed
  if (status == 0) {
    const std::vector<std::string> names = summary_names(output);
    FUZZ_CHECK(tables.size() == 2 && tables.count(names[0]) == 1 && tables.count(names[1]) == 1);
    const std::vector<std::string>& peak = tables[names[0]];
    const std::vector<std::string>& grms = tables[names[1]];
    FUZZ_CHECK(!peak.empty() && peak.size() <= 1000 && peak.size() == grms.size());
    for (std::size_t i = 0; i < peak.size(); ++i) {
      FUZZ_CHECK(peak[i].compare(0, quodrel::TABLE_NUMBER_WIDTH, grms[i], 0,
                                 quodrel::TABLE_NUMBER_WIDTH) == 0);
    }
  }

  for (const auto& table : tables) fs::remove(table.first);
  return 0;
}
