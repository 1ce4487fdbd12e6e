#include "host/base/TextFile.h"
#include "host/base/TextFileLines.h"

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

TextFileLines::TextFileLines(const std::string& path) : file_(std::fopen(nativePath(path).c_str(), "rb")) {
    if (!file_) throw RuntimeError(errno == ENOENT ? err::FileNotFound : err::PathFileAccessError);
    // Valid UTF-8 throughout exactly when every line is: the terminators are ASCII and never part of
    // a character.
    std::string line;
    while (nextBytes(line))
        if (!isValidUtf8(line)) windows1250_ = true;
    std::rewind(file_.get());
    buffer_.clear();
    position_ = 0;
}

bool TextFileLines::next(std::string& line) {
    if (!nextBytes(line)) return false;
    if (windows1250_) {
        line = fromWindows1250(line);
    } else if (first_ && line.starts_with(utf8ByteOrderMark)) {
        line.erase(0, utf8ByteOrderMark.size());
    }
    first_ = false;
    return true;
}

bool TextFileLines::nextBytes(std::string& line) {
    for (std::size_t searched = position_;;) {
        const std::size_t end = buffer_.find_first_of("\r\n", searched);
        if (end == std::string::npos || (buffer_[end] == '\r' && end + 1 == buffer_.size())) {
            // No whole terminator yet (a CR may be followed by its LF in the next block).
            searched = end == std::string::npos ? buffer_.size() : end;
            searched -= position_;
            buffer_.erase(0, position_);
            position_ = 0;
            if (fill()) continue;
            if (buffer_.empty()) return false;
            const bool endsWithCr = buffer_.back() == '\r';
            line.assign(buffer_, 0, buffer_.size() - (endsWithCr ? 1 : 0));
            buffer_.clear();
            return true;
        }
        line.assign(buffer_, position_, end - position_);
        position_ = end + (buffer_[end] == '\r' && buffer_[end + 1] == '\n' ? 2 : 1);
        return true;
    }
}

bool TextFileLines::fill() {
    char block[1 << 16];
    const std::size_t read = std::fread(block, 1, sizeof block, file_.get());
    if (std::ferror(file_.get())) throw RuntimeError(err::PathFileAccessError);
    buffer_.append(block, read);
    return read > 0;
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
