#include "host/files/XlsxStore.h"

#include <sys/stat.h>

#include "host/base/Path.h"
#include "host/files/OfflineCubeQuery.h"
#include "host/files/SaveTarget.h"
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

// A ".oqy" file builds its offline cube, a ".xml" file is read as XML data, any other as a workbook
// package.
sheet::WorkbookPtr readFile(sheet::Application& application, const std::string& path) {
    if (isOfflineCubeQueryName(path)) return openOfflineCubeQuery(application, path);
    return isXmlFileName(path) ? readXmlWorkbook(application, path) : readWorkbook(application, path);
}

}  // namespace

sheet::WorkbookPtr XlsxStore::open(sheet::Application& application, const std::string& fullName) {
    const std::string path = absolutePath(fullName);
    // Stamped before reading: a change made while it is read counts as a change since it was opened.
    const auto stamp = fileStampOf(path);
    auto lock = std::shared_ptr<FileLock>(FileLock::take(path));
    auto book = readFile(application, path);
    if (stamp) openFiles_[path] = {book, *stamp, std::move(lock)};
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

sheet::WorkbookPtr XlsxStore::closedWorkbook(const std::string& fullName) { return closedBook(absolutePath(fullName)); }

Variant XlsxStore::readClosed(const std::string& folder, const std::string& workbook, const std::string& sheet,
                              const formula::Area& area) {
    const std::string path = absolutePath(folder.empty() ? workbook : folder + "/" + workbook);
    const auto book = closedBook(path);
    const auto source = book ? book->findSheet(sheet) : nullptr;
    if (!source) return CellError::Ref;
    auto valueAt = [&](int row, int column) {
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
