#include "host/sheet/Workbook.h"

#include <algorithm>

#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/NamedItems.h"

namespace host::sheet {

Workbook::Workbook(std::weak_ptr<Application> application, std::string name)
    : application_(std::move(application)), name_(std::move(name)) {}

void Workbook::initialise() {
    names_ = std::make_shared<Names>(weak_from_this());
    properties_ = std::make_shared<DocumentProperties>();
    windows_ = {std::make_shared<Window>(name_)};
}

std::shared_ptr<Application> Workbook::application() const { return application_.lock(); }

std::string Workbook::fullName() const { return path_.empty() ? name_ : path_ + "/" + name_; }

WorksheetPtr Workbook::findSheet(const std::string& name) const { return findByName(sheets_, name); }

WorksheetPtr Workbook::sheet(const std::string& name) const {
    if (auto s = findSheet(name)) return s;
    throw RuntimeError(err::SubscriptOutOfRange);
}

WorksheetPtr Workbook::sheet(int index) const { return itemAt(sheets_, index, err::SubscriptOutOfRange); }

int Workbook::indexOf(const Worksheet& sheet) const {
    for (int i = 0; i < sheetCount(); ++i)
        if (sheets_[i].get() == &sheet) return i + 1;
    return 0;
}

WorksheetPtr Workbook::addSheet(const WorksheetPtr& before, const WorksheetPtr& after, const std::string& name) {
    std::string sheetName = name;
    if (sheetName.empty()) {
        for (int n = sheetCount() + 1;; ++n)
            if (!findSheet(sheetName = "Sheet" + std::to_string(n))) break;
    } else {
        validateSheetName(sheetName);
        if (findSheet(sheetName)) throw RuntimeError(err::InvalidArgument, "That name is already taken. Try a different one.");
    }
    auto sheet = std::make_shared<Worksheet>(weak_from_this(), sheetName);
    auto position = sheets_.end();
    if (before && indexOf(*before)) position = sheets_.begin() + (indexOf(*before) - 1);
    else if (after && indexOf(*after)) position = sheets_.begin() + indexOf(*after);
    sheets_.insert(position, sheet);
    activeSheet_ = sheet;
    structureChanged();
    return sheet;
}

void Workbook::removeSheet(const WorksheetPtr& sheet) {
    const int index = indexOf(*sheet);
    if (!index) return;
    const auto visibleCount = std::count_if(sheets_.begin(), sheets_.end(),
                                            [](const auto& s) { return s->visible() == SheetVisibility::Visible; });
    if (sheet->visible() == SheetVisibility::Visible && visibleCount <= 1)
        throw RuntimeError(err::InvalidArgument, "A workbook must contain at least one visible worksheet.");
    sheets_.erase(sheets_.begin() + (index - 1));
    sheet->removed_ = true;
    if (activeSheet_.lock() == sheet) activeSheet_ = sheets_[std::min(index, sheetCount()) - 1];
    structureChanged();
}

WorksheetPtr Workbook::activeSheet() const {
    if (auto s = activeSheet_.lock()) return s;
    return sheets_.empty() ? nullptr : sheets_.front();
}

void Workbook::setActiveSheet(const WorksheetPtr& sheet) { activeSheet_ = sheet; }

void Workbook::activate() {
    if (auto app = application()) {
        app->setActiveWorkbook(shared_from_this());
        app->fireWorkbookActivate(shared_from_this());
    }
}

void Workbook::save() {
    auto app = application();
    if (!app || !app->workbookStore() || path_.empty())
        throw RuntimeError(err::InvalidArgument, "The workbook '" + name_ + "' has no file to save to.");
    app->workbookStore()->save(*this, fullName());
    saved = true;
}

void Workbook::saveAs(const std::string& fullName, int format) {
    auto app = application();
    if (!app || !app->workbookStore()) throw RuntimeError(err::InvalidArgument, "Workbooks cannot be saved here.");
    const std::string path = nativePath(fullName);
    app->workbookStore()->save(*this, path);
    const auto slash = path.find_last_of('/');
    setLocation(slash == std::string::npos ? std::string() : path.substr(0, slash),
                slash == std::string::npos ? path : path.substr(slash + 1));
    if (format != 0) fileFormat = format;
    saved = true;
}

void Workbook::close(bool saveChanges) {
    if (saveChanges) save();
    if (auto app = application()) app->workbooks().detach(*this);
}

void Workbook::setLocation(std::string folder, std::string name) {
    path_ = std::move(folder);
    if (name_ != name) {
        name_ = std::move(name);
        for (auto& w : windows_) w->caption = name_;
        structureChanged();
    }
}

void Workbook::structureChanged() {
    saved = false;
    if (auto app = application()) app->calculator().structureChanged();
}

// ---- Workbooks ----

WorkbookPtr Workbooks::add() {
    auto app = application_.lock();
    std::string name;
    do {
        name = "Book" + std::to_string(nextBookNumber_++);
    } while (find(name));
    auto book = std::make_shared<Workbook>(application_, name);
    book->initialise();
    book->addSheet();
    book->saved = true;
    attach(book);
    return book;
}

WorkbookPtr Workbooks::open(const std::string& fullName) {
    auto app = application_.lock();
    if (!app || !app->workbookStore()) throw RuntimeError(err::InvalidArgument, "Workbook files cannot be opened here.");
    const std::string path = nativePath(fullName);
    const auto slash = path.find_last_of('/');
    if (auto open = find(slash == std::string::npos ? path : path.substr(slash + 1))) {
        open->activate();
        return open;
    }
    auto book = read(*app, path);
    attach(book);
    return book;
}

WorkbookPtr Workbooks::addFromTemplate(const std::string& templateFullName) {
    auto app = application_.lock();
    if (!app || !app->workbookStore()) throw RuntimeError(err::InvalidArgument, "Workbook files cannot be opened here.");
    const std::string path = nativePath(templateFullName);
    auto book = read(*app, path);
    std::string base = path.substr(path.find_last_of('/') + 1);
    if (const auto dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.erase(dot);
    std::string name;
    int number = 1;
    do {
        name = base + std::to_string(number++);
    } while (find(name));
    book->setLocation("", name);
    attach(book);
    return book;
}

WorkbookPtr Workbooks::read(Application& app, const std::string& path) {
    auto book = app.workbookStore()->open(app, path);
    // What user-defined functions answer depends on more than the workbook: they are calculated
    // again at the next calculation, as volatile cells are.
    // (The cells in the order they were stored: the formulas read one after another.)
    for (const auto& sheet : book->worksheets())
        for (const auto& [key, cell] : sheet->allCells())
            if (cell.formula && cell.formula->callsUserFunction()) sheet->calcState().dirty.insert(key);
    return book;
}

void Workbooks::attach(const WorkbookPtr& workbook) {
    if (!workbook->names_) workbook->initialise();
    books_.push_back(workbook);
    if (auto app = application_.lock()) {
        app->calculator().structureChanged();
        if (!workbook->isAddin) workbook->activate();
    }
}

WorkbookPtr Workbooks::find(const std::string& name) const { return findByName(books_, name); }

WorkbookPtr Workbooks::item(const std::string& name) const {
    if (auto b = find(name)) return b;
    throw RuntimeError(err::SubscriptOutOfRange);
}

std::vector<WorkbookPtr> Workbooks::list() const {
    std::vector<WorkbookPtr> result;
    for (const auto& b : books_)
        if (!b->isAddin) result.push_back(b);
    return result;
}

int Workbooks::count() const { return static_cast<int>(list().size()); }

WorkbookPtr Workbooks::item(int index) const { return itemAt(list(), index, err::SubscriptOutOfRange); }

void Workbooks::detach(Workbook& workbook) {
    workbook.closed_ = true;
    std::erase_if(books_, [&](const WorkbookPtr& b) { return b.get() == &workbook; });
    if (auto app = application_.lock()) {
        if (app->workbookStore()) app->workbookStore()->closed(workbook);
        app->calculator().structureChanged();
        if (app->activeWorkbook().get() == &workbook || !app->activeWorkbook()) {
            const auto remaining = list();
            app->setActiveWorkbook(remaining.empty() ? nullptr : remaining.back());
        }
    }
}

}  // namespace host::sheet
