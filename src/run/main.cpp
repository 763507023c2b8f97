#include "run/driver.hpp"

int main(int argc, char** argv) { return runkinex(argc, argv); }
