#pragma once
// Zip packages as workbook files use them: reading parts by name, writing a new package.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct zip;
struct zip_source;

namespace host::files {

class ZipReader {
public:
    // Opens a zip file for reading; the file is read once into memory, so that later reads and
    // copies see the package as it was opened. Raises 1004 naming the file when it is missing,
    // larger than kMaxFileSize or not a zip.
    explicit ZipReader(std::string path);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    const std::string& path() const { return path_; }
    // The package's bytes as read.
    const std::shared_ptr<const std::string>& bytes() const { return bytes_; }
    // Opens a package kept in memory (shownName names it in errors).
    ZipReader(std::shared_ptr<const std::string> bytes, std::string shownName);
    bool contains(const std::string& name) const;
    // The names of the package's parts, in the order of its directory.
    std::vector<std::string> names() const;
    // The most a part may inflate to: far above any real workbook, far below what a crafted package
    // could claim.
    static constexpr std::size_t kMaxPartSize = std::size_t{1} << 30;
    // The largest package file read: it is held in memory while its workbook is open.
    static constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{2} << 30;

    // The content of a part; nullopt when the package has no such part. Raises 1004 when the part
    // is damaged (bad checksum, cut short, unsupported compression) or inflates past sizeLimit,
    // whatever its directory entry claims.
    std::optional<std::string> read(const std::string& name, std::size_t sizeLimit = kMaxPartSize) const;

private:
    friend class ZipWriter;
    void openBytes();

    std::string path_;
    std::shared_ptr<const std::string> bytes_;
    zip* archive_ = nullptr;
};

class ZipWriter {
public:
    // Starts a package, built in memory; errors raise 1004.
    ZipWriter();
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds a part, compressed.
    void add(const std::string& name, std::string content);
    // Adds a part of another package as it is stored there, without inflating it again; the source
    // must stay open until the package is finished.
    void copy(const ZipReader& source, const std::string& name);
    // The package's bytes; the writer is done. Errors raise 1004 naming shownName, the file the
    // package is meant for.
    std::string finish(const std::string& shownName);

private:
    zip_source* buffer_ = nullptr;  // the package's bytes
    zip* archive_ = nullptr;
    std::deque<std::string> contents_;  // kept alive until the package is written
};

}  // namespace host::files
