#include "estimation/estimation.hpp"

void em_delta_p(int32_t& replicate) { (void)replicate; }
