// The program's own texts that the tests look for, written once.
#ifndef QUODREL_TEST_DIALOGUE_TEXTS_H
#define QUODREL_TEST_DIALOGUE_TEXTS_H

#include <string>

namespace quodrel::test {

inline const std::string RATIO_PROMPT = "\n Enter damping ratio (typically 0.05) ";
inline const std::string Q_PROMPT = "\n Enter amplification factor Q (typically 10) ";
inline const std::string FORMAT_QUESTION = "\n Enter damping format. \n 1= damping ratio   2= Q \n";
inline const std::string START_PROMPT = "\n Enter starting analysis frequency (Hz) \n";
inline const std::string REFUSAL = "\n Error:  damping value must be < 1 \n";
inline const std::string PRESS_ANY_KEY = "\n\n Press any key to exit.";

// The answers before the file names in the session of the README.
inline const std::string TYPICAL_NUMBERS = "100 2 1 0.05 10 20 ";

}  // namespace quodrel::test

#endif
