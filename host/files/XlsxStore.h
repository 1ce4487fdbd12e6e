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
    // array with lower bounds 1. A missing or unreadable file, or a missing sheet, gives #REF!.
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

    // Closed workbooks are read into a private application of their own.
    std::shared_ptr<sheet::Application> readerApplication_;
    std::map<std::string, ClosedBook> closed_;  // by full path
};

// Attaches an XlsxStore to the application as its workbook-file store.
void attachWorkbookStore(sheet::Application& application);

}  // namespace host::files
