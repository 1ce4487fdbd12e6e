#pragma once
// Zip packages as workbook files use them: reading parts by name, writing a new package.

#include <deque>
#include <optional>
#include <string>

struct zip;

namespace host::files {

class ZipReader {
public:
    // Opens a zip file for reading; raises 1004 naming the file when it is missing or not a zip.
    explicit ZipReader(std::string path);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const std::string& path() const { return path_; }
    // The content of a part; nullopt when the package has no such part. Raises 1004 when the part
    // is damaged (bad checksum, cut short, unsupported compression).
    std::optional<std::string> read(const std::string& name) const;

private:
    std::string path_;
    zip* archive_ = nullptr;
};

class ZipWriter {
public:
    // Creates (or replaces) a zip file; errors raise 1004 naming shownName (the file the package is
    // meant for, when it is written to a temporary file first).
    ZipWriter(const std::string& path, std::string shownName);
    ~ZipWriter();  // discards the package when commit was not reached
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds a part, compressed.
    void add(const std::string& name, std::string content);
    // Writes the package to its file; raises 1004 when it cannot.
    void commit();

private:
    std::string shownName_;
    zip* archive_ = nullptr;
    std::deque<std::string> contents_;  // kept alive until the package is written
};

}  // namespace host::files
