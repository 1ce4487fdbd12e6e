#include "host/os/Download.h"

#include <curl/curl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "host/base/Path.h"
#include "host/os/Interrupt.h"
#include "host/os/SignalCleanup.h"

namespace host::os {

namespace {

bool curlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Ends the transfer once Ctrl-C was pressed; curl asks at least once a second, also while nothing
// arrives.
int stopOnInterrupt(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return interruptRequested() ? 1 : 0; }

// Fetches url into the open file; True when the transfer succeeded within the limits.
bool fetchInto(const std::string& url, std::FILE* file, const DownloadLimits& limits) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return false;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, file);  // the default writer fwrites to it
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, limits.overallSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, limits.lowSpeedSeconds);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, stopOnInterrupt);
    curl_easy_setopt(curl.get(), CURLOPT_NOPROGRESS, 0L);
    return curl_easy_perform(curl.get()) == CURLE_OK && !interruptRequested();
}

}  // namespace

bool downloadFile(std::string_view url, std::string_view localFile, const DownloadLimits& limits) {
    if (!curlReady()) return false;
    const std::filesystem::path target = nativePath(localFile);
    std::string partialName = target.string() + ".XXXXXX";
    const int descriptor = ::mkstemp(partialName.data());  // a new file, never a user's
    if (descriptor < 0) return false;
    const mode_t mask = ::umask(0);  // read back the process's mask, then restore it
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);  // the mode a file created by fopen would have
    const std::filesystem::path partial = partialName;
    const RemovedOnEndingSignal removedOnSignal(partialName);
    bool complete = false;
    {
        std::unique_ptr<std::FILE, FileCloser> file(::fdopen(descriptor, "wb"));
        if (!file) {
            ::close(descriptor);
        } else {
            complete = fetchInto(std::string(url), file.get(), limits);
            complete = std::fflush(file.get()) == 0 && complete;
        }
    }
    std::error_code error;
    if (complete) std::filesystem::rename(partial, target, error);
    if (!complete || error) {
        std::filesystem::remove(partial, error);
        return false;
    }
    return true;
}

}  // namespace host::os
