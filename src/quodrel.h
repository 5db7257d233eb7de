// The program's dialogue: one run from the banner to the key wait.
#ifndef QUODREL_QUODREL_H
#define QUODREL_QUODREL_H

#include <functional>
#include <iosfwd>

namespace quodrel {

constexpr int EXIT_DAMPING_REFUSED = 1;  // a damping ratio of 1 or more
constexpr int EXIT_TABLE_FAILED = 2;     // a table could not be created, written or closed
constexpr int EXIT_OUTPUT_FAILED = 3;    // the tables are whole, but standard output failed

// The whole run: banner, questions, damping check, the two tables, the calculation, the summary
// and the key wait. Reads the answers from `in` and writes the dialogue to `out`, flushing it
// before every read and before the wait. Returns the exit status: 0 after the key wait,
// EXIT_DAMPING_REFUSED or EXIT_TABLE_FAILED when the run ends early with a message.
// Where `out` has failed, the key wait is left out: no one saw its prompt.
int run_dialogue(std::istream& in, std::ostream& out, const std::function<void()>& wait_for_key);

// The program as started: the standard streams made safe, the dialogue on them and the key wait
// on the console. When writing to standard output failed, or it was closed at the start, says
// why on standard error and returns EXIT_OUTPUT_FAILED in place of 0.
int run_program();

}  // namespace quodrel

#endif
