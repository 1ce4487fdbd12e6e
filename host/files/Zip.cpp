#include "host/files/Zip.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/files/FileError.h"
#include "host/base/RuntimeError.h"

namespace host::files {

namespace {

std::string errorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

}  // namespace

ZipReader::ZipReader(std::string path) : path_(std::move(path)) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path_, ec)) failNotFound(path_);
    if (std::filesystem::file_size(path_, ec) > kMaxFileSize)
        failRead(path_, "it is larger than " + std::to_string(kMaxFileSize >> 30) + " GB, more than a workbook holds");
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream content;
    if (!in || !(content << in.rdbuf())) failRead(path_, "it cannot be read");
    bytes_ = std::make_shared<const std::string>(std::move(content).str());
    openBytes();
}

ZipReader::ZipReader(std::shared_ptr<const std::string> bytes, std::string shownName)
    : path_(std::move(shownName)), bytes_(std::move(bytes)) {
    openBytes();
}

void ZipReader::openBytes() {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes_->data(), bytes_->size(), 0, &error);
    if (source) {
        archive_ = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
        if (!archive_) zip_source_free(source);
    }
    if (!archive_) {
        const int code = zip_error_code_zip(&error);
        zip_error_fini(&error);
        if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
            failRead(path_, "it is not a zip package of a workbook (" + errorText(code) + ")");
        failRead(path_, errorText(code));
    }
    zip_error_fini(&error);
}

bool ZipReader::contains(const std::string& name) const { return zip_name_locate(archive_, name.c_str(), 0) >= 0; }

std::vector<std::string> ZipReader::names() const {
    std::vector<std::string> result;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0)) result.emplace_back(name);
    return result;
}

ZipReader::~ZipReader() {
    if (archive_) zip_discard(archive_);
}

std::optional<std::string> ZipReader::read(const std::string& name, std::size_t sizeLimit) const {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive_, name.c_str(), 0, &stat) != 0) return std::nullopt;
    zip_file_t* file = zip_fopen(archive_, name.c_str(), 0);
    if (!file) failRead(path_, "the part '" + name + "' is damaged (" + zip_strerror(archive_) + ")");
    // The text takes its room at once for the size the directory claims (no more than deflate can
    // give from the stored bytes, nor the limit), so that a large part is not moved as it grows.
    std::string content;
    if ((stat.valid & ZIP_STAT_SIZE) && (stat.valid & ZIP_STAT_COMP_SIZE))
        content.reserve(static_cast<std::size_t>(std::min<zip_uint64_t>({stat.size, stat.comp_size * 1032 + 1024, sizeLimit})));
    char buffer[65536];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            const std::string reason = zip_file_strerror(file);
            zip_fclose(file);
            failRead(path_, "the part '" + name + "' is damaged (" + reason + ")");
        }
        if (n == 0) break;
        if (content.size() + static_cast<std::size_t>(n) > sizeLimit) {
            zip_fclose(file);
            failRead(path_, "the part '" + name + "' inflates to more than " + std::to_string(sizeLimit >> 20) +
                                " MB, more than a workbook holds");
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    return content;
}

ZipWriter::ZipWriter() {
    zip_error_t error;
    zip_error_init(&error);
    buffer_ = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (buffer_) archive_ = zip_open_from_source(buffer_, ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive_) {
        const std::string reason = zip_error_strerror(&error);
        zip_error_fini(&error);
        if (buffer_) zip_source_free(buffer_);
        buffer_ = nullptr;
        throw RuntimeError(err::InvalidArgument, "A package cannot be made: " + reason + ".");
    }
    zip_error_fini(&error);
    zip_source_keep(buffer_);  // the bytes outlive the archive
}

ZipWriter::~ZipWriter() {
    if (archive_) zip_discard(archive_);
    if (buffer_) zip_source_free(buffer_);
}

void ZipWriter::add(const std::string& name, std::string content) {
    const std::string& kept = contents_.emplace_back(std::move(content));
    zip_source_t* source = zip_source_buffer(archive_, kept.data(), kept.size(), 0);
    const zip_int64_t index = source ? zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        if (source) zip_source_free(source);
        throw RuntimeError(err::InvalidArgument, "The part '" + name + "' cannot be added: " + zip_strerror(archive_) + ".");
    }
    // The fastest deflate level: a workbook's XML compresses well at any level, and saving a large
    // sheet spends most of its time here.
    zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 1);
}

void ZipWriter::copy(const ZipReader& source, const std::string& name) {
    const zip_int64_t index = zip_name_locate(source.archive_, name.c_str(), 0);
    // The whole entry is taken as stored: libzip copies its compressed bytes as they are.
    zip_source_t* part = index < 0 ? nullptr : zip_source_zip(archive_, source.archive_, static_cast<zip_uint64_t>(index), 0, 0, -1);
    if (!part || zip_file_add(archive_, name.c_str(), part, ZIP_FL_ENC_UTF_8) < 0) {
        if (part) zip_source_free(part);
        throw RuntimeError(err::InvalidArgument, "The part '" + name + "' cannot be copied: " + zip_strerror(archive_) + ".");
    }
}

std::string ZipWriter::finish(const std::string& shownName) {
    if (zip_close(archive_) != 0) failWrite(shownName, zip_strerror(archive_));
    archive_ = nullptr;
    contents_.clear();
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(buffer_, &stat) != 0 || zip_source_open(buffer_) != 0)
        failWrite(shownName, zip_error_strerror(zip_source_error(buffer_)));
    std::string bytes(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t n = zip_source_read(buffer_, bytes.data(), bytes.size());
    zip_source_close(buffer_);
    if (n < 0 || static_cast<std::size_t>(n) != bytes.size())
        failWrite(shownName, zip_error_strerror(zip_source_error(buffer_)));
    return bytes;
}

}  // namespace host::files
