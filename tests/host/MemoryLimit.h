#pragma once
// Runs a check in a child process with its memory limited: the address space (in builds without
// AddressSanitizer, which needs a huge one of its own) and, in every build, the peak resident memory
// the child adds to what it inherited.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace memtest {

// Pages of the process's address space and resident set, in megabytes.
inline void currentMemory(long& virtualMb, long& residentMb) {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    const long pageKb = ::sysconf(_SC_PAGESIZE) / 1024;
    virtualMb = pages * pageKb / 1024;
    residentMb = resident * pageKb / 1024;
}

// Runs check in a child process allowed `megabytes` more memory than the test process has. Returns
// what check returned ("" when it passed), or what went wrong with the child.
inline std::string runWithMemoryLimit(long megabytes, const std::function<std::string()>& check) {
    long virtualMb = 0, residentMb = 0;
    currentMemory(virtualMb, residentMb);
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
#if !defined(__SANITIZE_ADDRESS__)
        const rlim_t bytes = static_cast<rlim_t>(virtualMb + megabytes) << 20;
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        std::string result;
        try {
            result = check();
        } catch (const std::exception& e) {
            result = std::string("exception: ") + e.what();
        } catch (...) {
            result = "unknown exception";
        }
        if (!result.empty() && ::write(channel[1], result.data(), result.size()) < 0) ::_exit(2);
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) output.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child ended with status " + std::to_string(status) + " " + output;
    const long peakMb = usage.ru_maxrss / 1024;
    if (peakMb - residentMb > megabytes)
        return "the child took " + std::to_string(peakMb - residentMb) + " MB more, over " + std::to_string(megabytes) + " " + output;
    return output;
}

}  // namespace memtest
