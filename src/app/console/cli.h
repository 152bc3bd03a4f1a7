#pragma once
// `autobackup [--home DIR] [--yes] COMMAND [OPTIONS]`: the console and daemon front end.
// Exit statuses: 0 success; 1 the command's work failed; 2 bad arguments; 3 an error before a
// backup's dump; 4 another process holds the home's lock.

namespace ab {

int RunCli(int argc, char** argv);

}  // namespace ab
