#include "host/base/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include <unicode/ucnv.h>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"

namespace host {

namespace {

constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string readBytes(const std::string& path) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(nativePath(path).c_str(), "rb"));
    if (!file) throw RuntimeError(errno == ENOENT ? err::FileNotFound : err::PathFileAccessError);
    std::string bytes;
    char buffer[1 << 16];
    std::size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, read);
    if (std::ferror(file.get())) throw RuntimeError(err::PathFileAccessError);
    return bytes;
}

// Converts between UTF-8 and the Polish code page; `growth` bounds the bytes per input byte.
std::string converted(const char* to, const char* from, std::string_view bytes, std::size_t growth) {
    std::string text(bytes.size() * growth + 1, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = ucnv_convert(to, from, text.data(), static_cast<int32_t>(text.size()), bytes.data(),
                                        static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) {
        throw RuntimeError(err::PathFileAccessError,
                           standardDescription(err::PathFileAccessError) + " (" + u_errorName(status) + ")");
    }
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// Every byte of the code page becomes at most three bytes of UTF-8, every character of UTF-8 one byte.
std::string fromWindows1250(std::string_view bytes) { return converted("UTF-8", "cp1250", bytes, 3); }
std::string toWindows1250(std::string_view text) { return converted("cp1250", "UTF-8", text, 1); }

// Whether the text from its first byte holds one UTF-8 character.
bool startsWithUtf8Character(std::string_view text) {
    for (std::size_t length = 1; length <= std::min<std::size_t>(4, text.size()); ++length)
        if (isValidUtf8(text.substr(0, length))) return true;
    return false;
}

// Whether the file holds text of the Polish code page: its first character outside ASCII is no
// UTF-8 (a file written in one encoding throughout shows it there). Reads no further than needed, as
// logs grow long and are appended to often.
bool holdsWindows1250(const std::string& path) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(nativePath(path).c_str(), "rb"));
    if (!file) return false;  // no file yet
    std::string pending;  // from the first byte outside ASCII on
    char buffer[1 << 16];
    std::size_t read;
    while (pending.size() < 4 && (read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        std::string_view block(buffer, read);
        if (pending.empty()) {
            const auto first = std::find_if(block.begin(), block.end(), [](char c) { return (c & 0x80) != 0; });
            block.remove_prefix(static_cast<std::size_t>(first - block.begin()));
        }
        pending.append(block.substr(0, 4));
    }
    return !pending.empty() && !startsWithUtf8Character(pending);
}

int writeErrorNumber(int openError) {
    switch (openError) {
    case ENOENT:
    case ENOTDIR: return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return err::PermissionDenied;
    default: return err::PathFileAccessError;
    }
}

}  // namespace

std::string readTextFile(const std::string& path) {
    std::string bytes = readBytes(path);
    if (!isValidUtf8(bytes)) return fromWindows1250(bytes);
    if (bytes.starts_with(utf8ByteOrderMark)) bytes.erase(0, utf8ByteOrderMark.size());
    return bytes;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t lineBegin = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(lineBegin, i - lineBegin));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lineBegin = i + 1;
    }
    if (lineBegin < text.size()) lines.emplace_back(text.substr(lineBegin));
    return lines;
}

void writeTextFile(const std::string& path, std::string_view text, bool append) {
    const std::string bytes = append && holdsWindows1250(path) ? toWindows1250(text) : std::string(text);
    std::FILE* file = std::fopen(nativePath(path).c_str(), append ? "ab" : "wb");
    if (!file) throw RuntimeError(writeErrorNumber(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) throw RuntimeError(err::PathFileAccessError);
}

bool fitsFileEncoding(const std::string& path, std::string_view text) {
    return !holdsWindows1250(path) || fromWindows1250(toWindows1250(text)) == text;
}

}  // namespace host
