#pragma once

// Timing and memory measurement for the benchmark programs.

#include <cstddef>
#include <string>
#include <vector>

namespace morvane::bench {

struct ChildRun {
    double seconds = 0;  // wall time from fork to exit
    long peakKiB = 0;    // the child's peak resident memory (ru_maxrss)
    int exitCode = -1;   // -1 when it did not exit normally
};

// Runs a program in a fresh process (argv[0] is looked up on PATH) with its standard output sent to
// `stdoutPath`. A fresh process is measured alone: its peak memory holds nothing of the caller's.
ChildRun RunChild(const std::vector<std::string>& argv, const std::string& stdoutPath = "/dev/null");

// The running program's own executable, for re-running it as a child.
std::string SelfExecutable();

double Median(std::vector<double> values);
// The runs' seconds, "0.812 0.803 ...", three decimals each.
std::string RunsText(const std::vector<double>& runs);

// A new folder "morvane-bench-data-XXXXXX" below `under`, its path ending in "/"; throws std::runtime_error.
std::string TemporaryFolder(const std::string& under);
// The number of lines of a file (0 when it cannot be read).
std::size_t CountLines(const std::string& path);

// The peak resident memory of this process's own address space, from /proc (VmHWM, in KiB). Unlike the
// ru_maxrss a parent gets from wait4, it does not include what the child inherited from the parent at fork.
long OwnPeakKiB();

// lstat succeeds.
bool Exists(const std::string& path);
// Creates a folder unless it is there; any other failure throws std::runtime_error naming it.
void MakeDir(const std::string& path);

}  // namespace morvane::bench
