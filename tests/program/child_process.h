// The game program (or another one) as a separate process for the tests and benchmarks that
// watch it from outside: started with its own environment, its stderr kept in a file, waited for
// under a deadline, and killed and reaped on every way out so that no test leaves one running.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace progtest {

class ChildProcess {
public:
    // Starts argv[0] with the environment of this process plus `environment` ("NAME=value",
    // replacing a variable of the same name). Its stdout is dropped; its stderr goes to
    // `error_file`, or is dropped when that is empty. Throws std::runtime_error when it cannot start.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::string& error_file = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool Running();
    // The exit code once the process has ended, -1 when a signal ended it; nothing when it still
    // runs after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // Sends a signal to a process that still runs (never to a reaped id, which may be reused).
    void Signal(int signal);
    // Ends the process at once (SIGKILL) and reaps it; nothing when it has already ended.
    void Kill();

private:
    bool Reap(bool block);

    pid_t pid_ = -1;
    std::optional<int> exit_code_;
};

}  // namespace progtest
