#include "app/console/cli.h"

int main(int argc, char** argv) { return ab::RunCli(argc, argv); }
