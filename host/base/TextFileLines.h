#pragma once
// Reading a text file a line at a time without holding it whole (listings of millions of lines): the
// lines splitLines gives of the text readTextFile gives, decoded the same way.

#include <cstdio>
#include <memory>
#include <string>

namespace host {

class TextFileLines {
public:
    // Opens the file and reads it once through to learn its encoding. Errors as readTextFile's.
    explicit TextFileLines(const std::string& path);

    // The next line, without its terminator; false after the last one. Raises 75 "Path/File access
    // error" when the file cannot be read on.
    bool next(std::string& line);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // The next line as bytes; false after the last one.
    bool nextBytes(std::string& line);
    // Reads more of the file into buffer_; false at its end.
    bool fill();

    std::unique_ptr<std::FILE, Closer> file_;
    std::string buffer_;
    std::size_t position_ = 0;  // in buffer_, of the next line
    bool windows1250_ = false;
    bool first_ = true;
};

}  // namespace host
