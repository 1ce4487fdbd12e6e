#pragma once
// Workbook: named sheets, defined names, custom document properties and a window.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/sheet/DocumentProperties.h"
#include "host/sheet/FileExtras.h"
#include "host/sheet/Names.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Application;

class Window : public Object {
public:
    explicit Window(std::string caption) : caption(std::move(caption)) {}
    std::string typeName() const override { return "Window"; }
    std::string caption;
    bool visible = true;
};
using WindowPtr = std::shared_ptr<Window>;

class Workbook : public Object, public std::enable_shared_from_this<Workbook> {
public:
    Workbook(std::weak_ptr<Application> application, std::string name);
    std::string typeName() const override { return "Workbook"; }

    std::shared_ptr<Application> application() const;

    const std::string& name() const { return name_; }
    // Folder of the workbook's file, "" until it is saved.
    const std::string& path() const { return path_; }
    // Path, "/" and name; the name alone while there is no path.
    std::string fullName() const;
    // An add-in workbook is not counted among the open workbooks, but can be named.
    bool isAddin = false;
    // True once the workbook has been closed; its ranges can no longer be used.
    bool isClosed() const { return closed_; }
    bool saved = true;
    // The file format given to the last SaveAs, recorded as given.
    int fileFormat = 51;
    // What the workbook's file holds that the platform does not model; none for a new workbook.
    std::shared_ptr<const FileExtras> fileExtras;

    // Sheets in tab order.
    const std::vector<WorksheetPtr>& worksheets() const { return sheets_; }
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    // By 1-based index or by name (letter case ignored); raises 9 when there is none.
    WorksheetPtr sheet(int index) const;
    WorksheetPtr sheet(const std::string& name) const;
    WorksheetPtr findSheet(const std::string& name) const;
    // Adds a sheet before or after the given one (at the end when neither is given), named
    // "SheetN" with the next free N, or with the given name.
    WorksheetPtr addSheet(const WorksheetPtr& before = nullptr, const WorksheetPtr& after = nullptr,
                          const std::string& name = "");
    void removeSheet(const WorksheetPtr& sheet);
    int indexOf(const Worksheet& sheet) const;

    WorksheetPtr activeSheet() const;
    void setActiveSheet(const WorksheetPtr& sheet);
    // Makes the workbook the active one (workbook-activate event).
    void activate();

    Names& names() { return *names_; }
    std::shared_ptr<Names> namesObject() const { return names_; }
    DocumentProperties& customDocumentProperties() { return *properties_; }
    std::shared_ptr<DocumentProperties> customDocumentPropertiesObject() const { return properties_; }
    const std::vector<WindowPtr>& windows() const { return windows_; }

    // Saves to the workbook's file; raises 1004 while it has no path or no file store is attached.
    void save();
    // Saves under a new full name and becomes that file.
    void saveAs(const std::string& fullName, int fileFormat = 0);
    // Closes the workbook (saving first when asked) and removes it from the open workbooks.
    void close(bool saveChanges = false);

    // For the file layer: sets name and folder when a workbook is opened or saved.
    void setLocation(std::string folder, std::string name);
    // Marks the workbook changed and the dependency graph stale (sheet added, renamed, removed).
    void structureChanged();

    // Creates the names, properties and window of a new workbook; attach does it when it was not
    // done yet, a file reader does it first so that it can fill them in.
    void initialise();

private:
    friend class Workbooks;

    std::weak_ptr<Application> application_;
    std::string name_;
    std::string path_;
    std::vector<WorksheetPtr> sheets_;
    std::weak_ptr<Worksheet> activeSheet_;
    std::shared_ptr<Names> names_;
    std::shared_ptr<DocumentProperties> properties_;
    std::vector<WindowPtr> windows_;
    bool closed_ = false;
};
using WorkbookPtr = std::shared_ptr<Workbook>;

class Workbooks : public Object {
public:
    explicit Workbooks(std::weak_ptr<Application> application) : application_(std::move(application)) {}
    std::string typeName() const override { return "Workbooks"; }

    // A new workbook "BookN" with one sheet "Sheet1"; it becomes the active workbook.
    WorkbookPtr add();
    // Opens a workbook file through the attached file store; raises 1004 when none is attached.
    WorkbookPtr open(const std::string& fullName);
    // A new, unsaved workbook holding what the template file holds, named after it ("Plan.xltx" gives
    // "Plan1", "Plan2", ...); the template itself is not opened, so saving never rewrites it.
    WorkbookPtr addFromTemplate(const std::string& templateFullName);
    // Adds a workbook built elsewhere (a file reader, the companion add-in) to the open workbooks.
    void attach(const WorkbookPtr& workbook);
    // By name (letter case ignored, add-ins included) or 1-based index; raises 9 when there is none.
    WorkbookPtr item(const std::string& name) const;
    WorkbookPtr item(int index) const;
    WorkbookPtr find(const std::string& name) const;
    // Open workbooks that are not add-ins.
    int count() const;
    std::vector<WorkbookPtr> list() const;
    // Every open workbook, add-ins included.
    const std::vector<WorkbookPtr>& all() const { return books_; }
    // Removes a workbook from the open workbooks; it counts as closed from then on.
    void detach(Workbook& workbook);

private:
    // Reads a workbook file through the file store, not yet attached.
    static WorkbookPtr read(Application& app, const std::string& path);

    std::weak_ptr<Application> application_;
    std::vector<WorkbookPtr> books_;
    int nextBookNumber_ = 1;
};

}  // namespace host::sheet
