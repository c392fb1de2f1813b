#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace progtest {
namespace {

// posix_spawn's file actions, destroyed on every way out of the start.
class FileActions {
public:
    FileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& added) {
    std::vector<std::string> merged(added);
    for (char** variable = environ; *variable; ++variable) {
        const std::string entry(*variable);
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos) continue;  // not a variable: nothing a program could read
        const std::string name = entry.substr(0, equals + 1);
        bool replaced = false;
        for (const std::string& own : added) replaced |= own.compare(0, name.size(), name) == 0;
        if (!replaced) merged.push_back(entry);
    }
    return merged;
}

// The char* array exec wants, pointing into `strings` (which must outlive it).
std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                           const std::string& error_file) {
    if (argv.empty()) throw std::invalid_argument("ChildProcess: no program");
    FileActions actions;
    ::posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO,
                                       error_file.empty() ? "/dev/null" : error_file.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> arguments(argv), variables = MergedEnvironment(environment);
    std::vector<char*> argument_pointers = Pointers(arguments), variable_pointers = Pointers(variables);
    const int error = ::posix_spawn(&pid_, arguments[0].c_str(), actions.get(), nullptr, argument_pointers.data(),
                                    variable_pointers.data());
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    }
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Reap(bool block) {
    if (exit_code_) return true;
    int status = 0;
    const pid_t ended = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    if (ended == 0) return false;
    // An id that cannot be waited for any more counts as ended; it is never signalled again.
    exit_code_ = ended == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool ChildProcess::Running() { return !Reap(false); }

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exit_code_;
}

void ChildProcess::Signal(int signal) {
    if (Running()) ::kill(pid_, signal);
}

void ChildProcess::Kill() {
    if (pid_ < 0 || !Running()) return;
    ::kill(pid_, SIGKILL);
    Reap(true);
}

}  // namespace progtest
