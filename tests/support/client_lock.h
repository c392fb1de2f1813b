// A lock on a database file held by the sqlite3 command-line client, as another program on the
// player's machine would hold it: the client runs a transaction that takes the lock and keeps it
// until the test releases it (the client's input closes, it ends and its transaction rolls back).
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace testsupport {

class ClientLock {
public:
    // `begin` takes the lock: "BEGIN EXCLUSIVE;" keeps readers out, "BEGIN IMMEDIATE;" writers.
    // held() tells whether the client answered that it holds it.
    ClientLock(const std::string& client, const std::filesystem::path& file, const std::string& begin) {
        int input[2], output[2];
        // Closed on exec, so that no other child of the test (the game under test) keeps the
        // client's input open and with it the lock.
        if (::pipe2(input, O_CLOEXEC) != 0) return;
        if (::pipe2(output, O_CLOEXEC) != 0) {
            ::close(input[0]);
            ::close(input[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(input[0], 0);
            ::dup2(output[1], 1);
            ::close(input[0]);
            ::close(input[1]);
            ::close(output[0]);
            ::close(output[1]);
            ::execl(client.c_str(), client.c_str(), "-batch", "-bail", file.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(input[0]);
        ::close(output[1]);
        to_client_ = ::fdopen(input[1], "w");
        from_client_ = ::fdopen(output[0], "r");
        if (pid_ < 0 || !to_client_ || !from_client_) return;
        // The answer comes only once the lock is taken, so the test goes on with the lock held.
        std::fputs((begin + "\nSELECT 'held';\n").c_str(), to_client_);
        std::fflush(to_client_);
        char line[64] = {};
        held_ = std::fgets(line, sizeof line, from_client_) && std::string(line) == "held\n";
    }
    ~ClientLock() { Release(); }
    ClientLock(const ClientLock&) = delete;
    ClientLock& operator=(const ClientLock&) = delete;

    bool held() const { return held_; }

    // Runs more SQL in the client's transaction (a COMMIT, say): true when all of it succeeded.
    bool Run(const std::string& sql) {
        if (!to_client_ || !from_client_) return false;
        std::fputs((sql + "\nSELECT 'done';\n").c_str(), to_client_);
        std::fflush(to_client_);
        char line[64] = {};
        // The client stops at the first failure (-bail), and its output ends.
        return std::fgets(line, sizeof line, from_client_) && std::string(line) == "done\n";
    }

    // Ends the client, which gives the lock back; waits until it has.
    void Release() {
        if (to_client_) std::fclose(to_client_);
        to_client_ = nullptr;
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        if (from_client_) std::fclose(from_client_);
        from_client_ = nullptr;
        held_ = false;
    }

private:
    pid_t pid_ = -1;
    std::FILE* to_client_ = nullptr;
    std::FILE* from_client_ = nullptr;
    bool held_ = false;
};

}  // namespace testsupport
