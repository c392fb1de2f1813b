// Peak memory of a piece of work, measured in a fresh child process so that the peak is the
// work's own and not that of the tests which ran before it.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace testsupport {

// Runs `work` (returning true when it behaved as expected) in a child process and gives the
// child's peak resident size in MiB (at most 250), or -1 when `work` returned false or the
// child did not exit normally.
template <class Work>
long ChildPeakMiB(Work work) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = work();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        ::_exit(ok ? static_cast<int>(std::min<long>(usage.ru_maxrss >> 10, 250)) : 255);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

// What `work` adds to the peak of a child that does nothing (a sanitizer's own memory makes
// that tens of MiB); -1 as above.
template <class Work>
long ChildPeakGrowthMiB(Work work) {
    const long peak = ChildPeakMiB(work);
    return peak < 0 ? -1 : std::max(0L, peak - ChildPeakMiB([] { return true; }));
}

}  // namespace testsupport
