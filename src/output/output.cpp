#include "output/output.hpp"

void output() {}
