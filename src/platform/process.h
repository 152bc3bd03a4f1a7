#pragma once
// Launching and watching other programs (the local database server).

#include <string>
#include <sys/types.h>
#include <vector>

namespace ab {

struct LaunchOptions {
  std::vector<std::string> argv;  // argv[0] is the program's path
  // Standard output and error are appended to this file (created when missing); standard input
  // reads /dev/null. Every other descriptor is closed in the child.
  std::string output_log;
  // A session of its own: stopping the launching service never signals the child.
  bool new_session = true;
};

// Starts the program and returns its process id; throws IoError when it cannot be started.
pid_t LaunchProcess(const LaunchOptions& options);

// True while the process exists and has not ended. A child of this process that ended is reaped
// here (a zombie still answers kill(pid, 0)); any other process is looked up in /proc.
bool ProcessAlive(pid_t pid);

}  // namespace ab
