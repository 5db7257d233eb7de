// quodrel: the vibration response spectrum of a pure sine base input, as two tables.
#include "quodrel.h"

int main() { return quodrel::run_program(); }
