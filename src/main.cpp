// quodrel: the vibration response spectrum of a pure sine base input, as two tables.
#include <iostream>

#include "console.h"
#include "quodrel.h"

int main() { return quodrel::run_dialogue(std::cin, std::cout, quodrel::wait_for_key); }
