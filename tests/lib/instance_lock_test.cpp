// The one-instance lock: only a lock that another process holds means the game already runs;
// a lock file that cannot be opened or locked for any other reason is a failure with its reason.
#include "lib/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "../support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using State = InstanceLock::State;

TEST(InstanceLock, OnlyALockHeldElsewhereMeansAnotherInstance) {
    const testsupport::TempFolder folder("instance_lock");
    fs::create_directories(folder / "folder.lock");
    fs::create_directories(folder / "read-only");
    ::chmod((folder / "read-only").c_str(), 0555);
    fs::create_symlink(folder / "free.lock", folder / "link.lock");
    // Flock locks belong to the open file, so a second open in this process contends like another process.
    const InstanceLock running(folder.Path("running.lock"));
    ASSERT_EQ(running.state(), State::kHeld) << running.error();

    const struct {
        const char* name;
        State state;
        int reason;  // the errno the error names; 0: none
    } cases[] = {
        {"free.lock", State::kHeld, 0},
        {"running.lock", State::kRunning, 0},
        {"folder.lock", State::kFailed, EISDIR},
        {"missing/x.lock", State::kFailed, ENOENT},
        {"link.lock", State::kFailed, ELOOP},  // never follows a link planted in its place
        {"read-only/x.lock", State::kFailed, EACCES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The superuser writes anywhere: the read-only folder says nothing then.
        if (c.reason == EACCES && ::access((folder / "read-only").c_str(), W_OK) == 0) continue;
        const InstanceLock lock(folder.Path(c.name));
        EXPECT_EQ(lock.state(), c.state) << lock.error();
        EXPECT_EQ(lock.held(), c.state == State::kHeld);
        if (c.state != State::kHeld) {
            EXPECT_NE(lock.error().find((folder / c.name).string()), std::string::npos);
        }
        if (c.reason) {
            EXPECT_NE(lock.error().find(std::strerror(c.reason)), std::string::npos) << lock.error();
        }
    }
    EXPECT_NE(InstanceLock(folder.Path("running.lock")).error().find("another instance"), std::string::npos);
}

}  // namespace
