#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) { return zuka::RunCli(argc, argv, std::cout, std::cerr); }
