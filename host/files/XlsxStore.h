#pragma once
// The application's workbook-file store: opens and saves workbook files and reads the values of
// workbooks that are not open for external references.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "host/files/LockFile.h"
#include "host/files/SaveTarget.h"
#include "host/sheet/Application.h"

namespace host::files {

class XlsxStore : public sheet::WorkbookStore {
public:
    // Reads the file ("\" or "/" between folders) into a new workbook named after the file; a file
    // named ".xml" (any letter case) is read as XML data.
    sheet::WorkbookPtr open(sheet::Application& application, const std::string& fullName) override;
    // Writes the workbook to the file, replacing it only once the new file is complete.
    void save(const sheet::Workbook& workbook, const std::string& fullName) override;
    // The values of an area of a sheet of a workbook file in a folder: one value, or a rows x columns
    // array with lower bounds 1. A file that cannot be read gives the values an open workbook's link to
    // it stored (the link is not refreshed); without those, and for a missing sheet, #REF!.
    // Each file is read once and kept while it stays the same file unchanged: same device and inode,
    // size, modification and status-change times (the last cannot be set back, so a file rewritten
    // and given its old time again is read anew).
    Variant readClosed(const std::string& folder, const std::string& workbook, const std::string& sheet,
                       const formula::Area& area) override;
    // The kept copy of the file's workbook, read again when the file changed.
    sheet::WorkbookPtr closedWorkbook(const std::string& fullName) override;

    // Lets go of the lock and the stamp of the workbook's file.
    void closed(const sheet::Workbook& workbook) override;

    // Drops the kept copies of closed workbooks.
    void forgetClosed() { closed_.clear(); }

private:
    // A workbook file as this store last read or wrote it for an open workbook: a save refuses to
    // replace it once another program changed it.
    struct OpenFile {
        std::weak_ptr<const sheet::Workbook> workbook;
        FileStamp stamp;
        std::shared_ptr<FileLock> lock;
    };
    std::map<std::string, OpenFile> openFiles_;  // by full path

    // What tells a file's content changed without reading it.
    struct FileIdentity {
        std::uint64_t device, inode, size;
        std::int64_t modifiedNs, changedNs;
        friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
    };
    struct ClosedBook {
        FileIdentity identity;
        sheet::WorkbookPtr book;
    };
    sheet::WorkbookPtr closedBook(const std::string& path);
    // Keeps the values the workbook's links into other workbooks stored.
    void keepLinkValues(const sheet::Workbook& book);
    const std::map<std::pair<int, int>, Variant>* linkValues(const std::string& path, const std::string& sheet) const;

    // The values links stored, by the other workbook's full path and sheet name (in capitals).
    std::map<std::string, std::map<std::string, std::map<std::pair<int, int>, Variant>>> linkValues_;

    // Closed workbooks are read into a private application of their own.
    std::shared_ptr<sheet::Application> readerApplication_;
    std::map<std::string, ClosedBook> closed_;  // by full path
};

// A reader of a kind of file that a layer above the file layer serves (an offline-cube query builds
// its cube): XlsxStore::open hands it the paths it accepts.
struct FileKindReader {
    bool (*accepts)(const std::string& path);
    sheet::WorkbookPtr (*read)(sheet::Application& application, const std::string& path);
};
// Adds a reader; the layer that serves the kind adds it as the platform library loads.
void addFileKindReader(FileKindReader reader);

// Attaches an XlsxStore to the application as its workbook-file store.
void attachWorkbookStore(sheet::Application& application);

}  // namespace host::files
