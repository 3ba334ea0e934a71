// What the score site takes from the operating system: child processes
// with pipes, its own path, the stop signals and the listening socket's
// backlog. POSIX here; nothing else of the site names the system.
#pragma once

#include <cstddef>
#include <string>

// A child process whose standard input and output are pipes of ours.
struct ChildProcess {
    int pid = -1;
    int in = -1, out = -1; // to its standard input, from its standard output
};

// Starts program with one argument; false when it cannot be started.
bool startChild(const std::string& program, const char* argument, ChildProcess* child);
// Closes the pipes and waits for the child to end.
void stopChild(ChildProcess* child);
// Whole reads and writes on a pipe (0 and 1 are the process's own standard
// input and output); false at its end or on an error.
bool readAll(int fd, void* data, size_t size);
bool writeAll(int fd, const void* data, size_t size);
// A write to a closed pipe fails instead of ending the process.
void ignoreBrokenPipes();

// The running executable's path (argv0 when it cannot be found).
std::string ownExecutable(const char* argv0);

// Holds SIGTERM and SIGINT back from every thread started after this call,
// so that waitForStopSignal alone takes them.
void holdStopSignals();
// Waits for SIGTERM or SIGINT; true when one came, false when released.
bool waitForStopSignal();
// Releases a waitForStopSignal that is still waiting.
void releaseStopWaiter();

// Lets up to waiting connections queue on a listening socket.
void widenBacklog(int socket, int waiting);
