#include "run/variables.hpp"

variables vars;

void resetvariables() { vars = variables{}; }
