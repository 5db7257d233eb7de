#include "quodrel.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>

#include "answer_reader.h"
#include "console.h"
#include "spectrum/spectrum.h"
#include "tables/response_table.h"

namespace quodrel {

namespace {

constexpr char AUTHOR[] = "the quodrel team";
constexpr char CONTACT[] = "quodrel-team@example.org";
constexpr char PRESS_ANY_KEY[] = "\n\n Press any key to exit.";

// Writes a message and makes it visible before the next read waits.
void say(std::ostream& out, const char* text) { out << text << std::flush; }

// Ends a run whose table failed: says why, then removes the incomplete tables (those this run
// created or emptied) and says which. Returns the exit status for that.
int table_failed(std::ostream& out, const ResponseTable& failed,
                 std::initializer_list<ResponseTable*> opened) {
  const auto shown = [](const std::string& text) { return name_for_console(text, true); };
  out << "\n Error:  " << (failed.name.empty() ? "(empty file name)" : shown(failed.name)) << ": "
      << shown(failed.error) << " \n";
  std::string removed;
  int removed_count = 0;
  for (ResponseTable* table : opened) {
    std::string reason;
    switch (remove_incomplete_table(*table, reason)) {
      case Removal::removed:
        removed += (removed_count++ == 0 ? "" : " and ") + shown(table->name);
        break;
      case Removal::failed:
        out << " The incomplete table " << shown(table->name) << " could not be removed: "
            << reason << " \n";
        break;
      case Removal::not_needed:
        break;
    }
  }
  if (removed_count == 1) out << " The incomplete table " << removed << " was removed. \n";
  if (removed_count == 2) out << " The incomplete tables " << removed << " were removed. \n";
  out << std::flush;
  return EXIT_TABLE_FAILED;
}

// Standard output that keeps the reason of its first failure; after it, every write fails.
class StandardOutput : public std::streambuf {
 public:
  explicit StandardOutput(int error) : error_(error) {}
  int error() const { return error_; }

 protected:
  std::streamsize xsputn(const char* text, std::streamsize length) override {
    if (error_ != 0) return 0;
    errno = 0;
    if (!write_standard_output(text, static_cast<std::size_t>(length))) {
      keep_reason();
      return 0;
    }
    return length;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char character = traits_type::to_char_type(c);
    return xsputn(&character, 1) == 1 ? c : traits_type::eof();
  }
  int sync() override {
    if (error_ != 0) return -1;
    errno = 0;
    if (flush_standard_output()) return 0;
    keep_reason();
    return -1;
  }

 private:
  void keep_reason() { error_ = errno != 0 ? errno : EIO; }
  int error_;
};

}  // namespace

int run_program() {
  const bool output_was_closed = prepare_standard_streams();
  StandardOutput output(output_was_closed ? EBADF : 0);
  std::ostream out(&output);
  int status = run_dialogue(standard_input(), out, wait_for_key);
  if (output.error() != 0) {
    std::fprintf(stderr, "quodrel: standard output: %s\n", std::strerror(output.error()));
    if (status == 0) status = EXIT_OUTPUT_FAILED;
  }
  // Started on a console of its own (a double-click), the window would close with the message.
  if (status != 0 && console_closes_with_this_process()) {
    const bool prompted = static_cast<bool>(out << PRESS_ANY_KEY << std::flush) ||
                          std::fputs(PRESS_ANY_KEY, stderr) >= 0;  // output failed: status 3
    if (prompted) wait_for_key();
  }
  return status;
}

int run_dialogue(std::istream& in, std::ostream& out, const std::function<void()>& wait_for_key) {
  AnswerReader answers(in);
  SineBaseInput input;

  out << "\n\n quodrel   version 1.2  August 12, 2008 \n"
      << "\n\n by " << AUTHOR << " "
      << "\n Email: " << CONTACT << " \n\n"
      << "\n This program calculates the vibration response spectrum "
      << "\n for a pure sine base input. \n\n";

  say(out, "\n Enter excitation frequency (Hz)\n");
  answers.read_real(input.excitation_frequency_hz);
  say(out, "\n Enter input amplitude (G)\n");
  answers.read_real(input.input_amplitude_g);

  std::int32_t damping_format = 0;  // 1 selects a damping ratio; anything else, Q
  say(out, "\n Enter damping format. \n 1= damping ratio   2= Q \n");
  answers.read_integer(damping_format);
  if (damping_format == 1) {
    say(out, "\n Enter damping ratio (typically 0.05) ");
    answers.read_real(input.damping_ratio);
  } else {
    say(out, "\n Enter amplification factor Q (typically 10) ");
    double q = 0.0;
    answers.read_real(q);
    input.damping_ratio = 1.0 / (q + q);  // Q = 0, unread or typed, gives +inf and is refused
  }
  if (input.damping_ratio >= 1.0) {
    say(out, "\n Error:  damping value must be < 1 \n");
    return EXIT_DAMPING_REFUSED;
  }

  say(out, "\n Enter starting analysis frequency (Hz) \n");
  answers.read_real(input.start_frequency_hz);
  say(out, "\n Enter final analysis frequency (Hz) \n");
  answers.read_real(input.final_frequency_hz);

  // Each table is created as soon as its name is known; a name that cannot be read is empty.
  const auto read_name = [&answers] {
    std::string name;
    answers.read_word(name);
    return name;
  };
  say(out, "\n\n Enter the output filename for peak G response: \n");
  ResponseTable peak_table = open_table(read_name());
  if (!peak_table.error.empty()) return table_failed(out, peak_table, {});

  say(out, "\n\n Enter the output filename for GRMS response: \n");
  ResponseTable grms_table = open_table(read_name(), &peak_table);
  if (!grms_table.error.empty()) return table_failed(out, grms_table, {&peak_table});

  const NaturalFrequencyGrid grid = build_grid(input.start_frequency_hz, input.final_frequency_hz);
  for (int i = 0; i < grid.count; ++i) {
    const ResponsePoint point = compute_response(input, grid.frequencies_hz[i]);
    const TableNumber frequency = format_table_number(point.natural_frequency_hz);
    write_row(peak_table, frequency, point.peak_accel_g);
    if (!peak_table.error.empty()) return table_failed(out, peak_table, {&peak_table, &grms_table});
    write_row(grms_table, frequency, point.rms_accel_g);
    if (!grms_table.error.empty()) return table_failed(out, grms_table, {&peak_table, &grms_table});
  }
  // Both tables are whole on disk before the screen says so and while the key wait lasts.
  close_table(peak_table);
  close_table(grms_table);
  for (const ResponseTable* table : {&peak_table, &grms_table}) {
    if (!table->error.empty()) return table_failed(out, *table, {&peak_table, &grms_table});
  }

  out << "\n\n The output files are: \n"
      << "\n " << name_for_console(peak_table.name, false)
      << ":  natural frequency (Hz)   accel (G peak) \n"
      << "\n " << name_for_console(grms_table.name, false)
      << ":  natural frequency (Hz)   accel (GRMS)   \n"
      << "\n\n Calculation complete. "
      << "\n Please call the output file into your own plotting program." << PRESS_ANY_KEY
      << std::flush;
  // Where the prompt could not be shown, no one would know to press a key.
  if (out) wait_for_key();
  return 0;
}

}  // namespace quodrel
