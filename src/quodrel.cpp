#include "quodrel.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "answer_reader.h"
#include "spectrum/spectrum.h"
#include "tables/response_table.h"

namespace quodrel {

namespace {

constexpr char AUTHOR[] = "the quodrel team";
constexpr char CONTACT[] = "quodrel-team@example.org";

// Writes a message and makes it visible before the next read waits.
void say(std::ostream& out, const char* text) { out << text << std::flush; }

// Reports a table's failure in the program's style; the caller ends the run with its status.
int table_failed(std::ostream& out, const std::string& name, const std::string& reason) {
  out << "\n Error:  " << (name.empty() ? "(empty file name)" : name) << ": " << reason << " \n"
      << std::flush;
  return EXIT_TABLE_FAILED;
}

int table_failed(std::ostream& out, const ResponseTable& table) {
  return table_failed(out, table.name, table_error_text(table));
}

}  // namespace

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

  // Each table is created as soon as its name is known.
  std::string peak_name;
  say(out, "\n\n Enter the output filename for peak G response: \n");
  answers.read_word(peak_name);
  ResponseTable peak_table = open_table(peak_name);
  if (peak_table.error != 0) return table_failed(out, peak_table);

  std::string grms_name;
  say(out, "\n\n Enter the output filename for GRMS response: \n");
  answers.read_word(grms_name);
  // Two streams on one file would interleave and corrupt it, however the name is spelled.
  if (same_file(peak_name, grms_name)) {
    return table_failed(out, grms_name, "names the same file as " + peak_name);
  }
  ResponseTable grms_table = open_table(grms_name);
  if (grms_table.error != 0) return table_failed(out, grms_table);

  const NaturalFrequencyGrid grid = build_grid(input.start_frequency_hz, input.final_frequency_hz);
  for (int i = 0; i < grid.count; ++i) {
    const ResponsePoint point = compute_response(input, grid.frequencies_hz[i]);
    const TableNumber frequency = format_table_number(point.natural_frequency_hz);
    if (!write_row(peak_table, frequency, point.peak_accel_g)) return table_failed(out, peak_table);
    if (!write_row(grms_table, frequency, point.rms_accel_g)) {
      return table_failed(out, grms_table);
    }
  }
  // Both tables are whole on disk before the screen says so and while the key wait lasts.
  if (!close_table(peak_table)) return table_failed(out, peak_table);
  if (!close_table(grms_table)) return table_failed(out, grms_table);

  out << "\n\n The output files are: \n"
      << "\n " << peak_name << ":  natural frequency (Hz)   accel (G peak) \n"
      << "\n " << grms_name << ":  natural frequency (Hz)   accel (GRMS)   \n"
      << "\n\n Calculation complete. "
      << "\n Please call the output file into your own plotting program."
      << "\n\n Press any key to exit." << std::flush;
  wait_for_key();
  return 0;
}

}  // namespace quodrel
