#include "host/files/XlsxStore.h"

#include <sys/stat.h>

#include <vector>

#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/files/SaveTarget.h"
#include "host/files/StoredPackage.h"
#include "host/files/XlsxReader.h"
#include "host/files/XlsxWriter.h"
#include "host/files/XmlWorkbook.h"

namespace host::files {

namespace {

std::string absolutePath(const std::string& fullName) {
    std::error_code ec;
    const auto path = std::filesystem::absolute(nativePath(fullName), ec);
    return ec ? nativePath(fullName) : path.lexically_normal().string();
}

std::vector<FileKindReader>& fileKindReaders() {
    static std::vector<FileKindReader> readers;
    return readers;
}

// A file of a kind a reader accepts goes to it (a ".oqy" file builds its offline cube), a ".xml" file
// is read as XML data, any other as a workbook package.
sheet::WorkbookPtr readFile(sheet::Application& application, const std::string& path) {
    for (const FileKindReader& reader : fileKindReaders())
        if (reader.accepts(path)) return reader.read(application, path);
    return isXmlFileName(path) ? readXmlWorkbook(application, path) : readWorkbook(application, path);
}

}  // namespace

void addFileKindReader(FileKindReader reader) { fileKindReaders().push_back(reader); }

sheet::WorkbookPtr XlsxStore::open(sheet::Application& application, const std::string& fullName) {
    const std::string path = absolutePath(fullName);
    // Stamped before reading: a change made while it is read counts as a change since it was opened.
    const auto stamp = fileStampOf(path);
    auto lock = std::shared_ptr<FileLock>(FileLock::take(path));
    auto book = readFile(application, path);
    if (stamp) openFiles_[path] = {book, *stamp, std::move(lock)};
    keepLinkValues(*book);
    return book;
}

void XlsxStore::save(const sheet::Workbook& workbook, const std::string& fullName) {
    const std::string path = absolutePath(fullName);
    checkWorkbookFileName(path);
    if (const auto holder = otherLockHolder(path))
        throw RuntimeError(err::InvalidArgument, "'" + path + "' is open in another program, by " + *holder +
                                                     "; it was not saved. Close it there first (or remove the "
                                                     "lock file if that program no longer runs).");
    std::optional<FileStamp> unchangedSince;
    std::shared_ptr<FileLock> lock;
    if (const auto it = openFiles_.find(path); it != openFiles_.end() && it->second.workbook.lock().get() == &workbook) {
        unchangedSince = it->second.stamp;
        lock = it->second.lock;
    }
    const FileStamp written = writeWorkbook(workbook, path, unchangedSince);
    // The workbook now stands for this file, and for no other it was read from or saved to before.
    closed(workbook);
    openFiles_[path] = {workbook.weak_from_this(), written, std::move(lock)};
    closed_.erase(path);
}

void XlsxStore::closed(const sheet::Workbook& workbook) {
    std::erase_if(openFiles_, [&](const auto& entry) {
        const auto owner = entry.second.workbook.lock();
        return !owner || owner.get() == &workbook;
    });
}

sheet::WorkbookPtr XlsxStore::closedBook(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return nullptr;
    auto nanoseconds = [](const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; };
    const FileIdentity identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                                static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                                nanoseconds(info.st_ctim)};
    if (auto it = closed_.find(path); it != closed_.end() && it->second.identity == identity) return it->second.book;
    if (!readerApplication_) readerApplication_ = sheet::Application::create();
    sheet::WorkbookPtr book;
    try {
        book = readFile(*readerApplication_, path);
    } catch (const RuntimeError&) {
        closed_.erase(path);
        return nullptr;  // an unreadable source shows as #REF! in the cells that refer to it
    }
    closed_[path] = {identity, book};
    return book;
}

void XlsxStore::keepLinkValues(const sheet::Workbook& book) {
    const auto* kept = dynamic_cast<const StoredWorkbook*>(book.fileExtras.get());
    if (!kept) return;
    for (const auto& link : kept->externalBooks) {
        if (link.name.empty()) continue;
        auto& sheets = linkValues_[absolutePath(link.folder.empty() ? link.name : link.folder + "/" + link.name)];
        for (const auto& [sheet, values] : link.cachedValues) sheets[UCase(sheet)] = values;
    }
}

const std::map<std::pair<int, int>, Variant>* XlsxStore::linkValues(const std::string& path, const std::string& sheet) const {
    const auto book = linkValues_.find(path);
    if (book == linkValues_.end()) return nullptr;
    const auto values = book->second.find(UCase(sheet));
    return values == book->second.end() ? nullptr : &values->second;
}

sheet::WorkbookPtr XlsxStore::closedWorkbook(const std::string& fullName) { return closedBook(absolutePath(fullName)); }

Variant XlsxStore::readClosed(const std::string& folder, const std::string& workbook, const std::string& sheet,
                              const formula::Area& area) {
    const std::string path = absolutePath(folder.empty() ? workbook : folder + "/" + workbook);
    const auto book = closedBook(path);
    const auto source = book ? book->findSheet(sheet) : nullptr;
    const auto* cached = book ? nullptr : linkValues(path, sheet);
    if (!source && !cached) return CellError::Ref;
    auto valueAt = [&](int row, int column) {
        if (cached) {
            const auto it = cached->find({row, column});
            return it == cached->end() ? Variant() : it->second;
        }
        const auto* cell = source->findCell(row, column);
        return cell ? cell->value : Variant();
    };
    if (area.isSingleCell()) return valueAt(area.top, area.left);
    Array values = Array::matrix(area.rows(), area.columns());
    for (int r = 0; r < area.rows(); ++r)
        for (int c = 0; c < area.columns(); ++c) values(r + 1, c + 1) = valueAt(area.top + r, area.left + c);
    return values;
}

void attachWorkbookStore(sheet::Application& application) {
    application.setWorkbookStore(std::make_shared<XlsxStore>());
}

}  // namespace host::files
