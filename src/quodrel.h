// The program's dialogue: one run from the banner to the key wait.
#ifndef QUODREL_QUODREL_H
#define QUODREL_QUODREL_H

#include <functional>
#include <iosfwd>

namespace quodrel {

constexpr int EXIT_DAMPING_REFUSED = 1;  // a damping ratio of 1 or more
constexpr int EXIT_TABLE_FAILED = 2;     // a table could not be created, written or closed

// The whole run: banner, questions, damping check, the two tables, the calculation, the summary
// and the key wait. Reads the answers from `in` and writes the dialogue to `out`, flushing it
// before every read and before the wait. Returns the exit status: 0 after the key wait,
// EXIT_DAMPING_REFUSED or EXIT_TABLE_FAILED when the run ends early with a message.
int run_dialogue(std::istream& in, std::ostream& out, const std::function<void()>& wait_for_key);

}  // namespace quodrel

#endif
