#pragma once
// Zip packages as workbook files use them: reading parts by name, writing a new package.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

struct zip;
struct zip_source;

namespace host::files {

class ZipReader {
public:
    // Opens a zip file for reading; raises 1004 naming the file when it is missing or not a zip.
    explicit ZipReader(std::string path);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const std::string& path() const { return path_; }
    // The most a part may inflate to: far above any real workbook, far below what a crafted package
    // could claim.
    static constexpr std::size_t kMaxPartSize = std::size_t{1} << 30;

    // The content of a part; nullopt when the package has no such part. Raises 1004 when the part
    // is damaged (bad checksum, cut short, unsupported compression) or inflates past sizeLimit,
    // whatever its directory entry claims.
    std::optional<std::string> read(const std::string& name, std::size_t sizeLimit = kMaxPartSize) const;

private:
    std::string path_;
    zip* archive_ = nullptr;
};

class ZipWriter {
public:
    // Starts a package for a file, built in memory; errors raise 1004 naming shownName.
    ZipWriter(std::string path, std::string shownName);
    ~ZipWriter();  // discards the package when commit was not reached
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds a part, compressed.
    void add(const std::string& name, std::string content);
    // Writes the package to its file, replacing it as a whole (replaceFile); raises 1004 when it
    // cannot.
    void commit();

private:
    std::string path_;
    std::string shownName_;
    zip_source* buffer_ = nullptr;  // the package's bytes
    zip* archive_ = nullptr;
    std::deque<std::string> contents_;  // kept alive until the package is written
};

}  // namespace host::files
