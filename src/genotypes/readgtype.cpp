#include "genotypes/genotypes.hpp"

void readgtype() {}
