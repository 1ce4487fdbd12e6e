#include "host/os/Download.h"

#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "host/base/Path.h"

namespace host::os {

namespace {

constexpr long kConnectTimeoutSeconds = 30;

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

// Fetches url into the open file; True when the transfer succeeded.
bool fetchInto(const std::string& url, std::FILE* file) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) return false;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, file);  // the default writer fwrites to it
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    return curl_easy_perform(curl.get()) == CURLE_OK;
}

}  // namespace

bool downloadFile(std::string_view url, std::string_view localFile) {
    if (!curlReady()) return false;
    const std::filesystem::path target = nativePath(localFile);
    const std::filesystem::path partial = target.string() + ".download";
    bool complete = false;
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(partial.c_str(), "wb"));
        if (!file) return false;
        complete = fetchInto(std::string(url), file.get());
        complete = std::fflush(file.get()) == 0 && complete;
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
