// The commands that write tables of their own: the file register and the unpivoted region.

#include <string>
#include <vector>

#include "commands/CommandSupport.h"
#include "commands/P_Ogolne.h"
#include "core/A_Languages.h"
#include "core/P_API.h"
#include "core/P_ObslBledow.h"
#include "host/base/FolderTree.h"
#include "host/base/Text.h"
#include "host/formula/Reference.h"
#include "host/sheet/ListObjects.h"
#include "host/sheet/Workbook.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::Variant;

namespace {

constexpr int kFileRegisterTop = 3;
constexpr long kMaxSheetNameLength = 31;  // the table's header row; A1 holds the folder

// The folder the register starts from, asked for when A1 names none; "" when the user cancels.
std::string FileRegisterFolder(const host::sheet::WorksheetPtr& sheet) {
    const std::string named = host::Trim(sheet->range("A1")->value().toString());
    if (host::isFolder(named)) return named;
    return ShellBrowseForFolder(0, GetMessageText(2012), 0);
}

std::string extensionOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

// The name of an unpivoted sheet: the source's with " (unpivoted)", cut to the length a sheet name may
// have, and numbered when the workbook has a sheet of that name.
std::string unpivotedSheetName(const host::sheet::Workbook& book, const std::string& source) {
    for (int n = 1;; ++n) {
        const std::string suffix = n == 1 ? " (unpivoted)" : " (unpivoted " + std::to_string(n) + ")";
        const std::string name = host::Left(source, kMaxSheetNameLength - host::Len(suffix)) + suffix;
        if (!book.findSheet(name)) return name;
    }
}

}  // namespace

void BuildFileRegister() {
    RunCommand([] {
        if (!WorkbookIsOpen()) return;
        auto sheet = ActiveWorksheet();
        const Variant answer =
            ReportMessage(GetMessageText(1039), host::ui::vbYesNo + host::ui::vbQuestion, GetMessageText(2012));
        if (answer != Variant(host::ui::vbYes)) return;  // No, or no box at this error-reporting level
        const std::string folder = FileRegisterFolder(sheet);
        if (folder.empty()) return;
        const auto files = host::listFileTree(folder, host::formula::kMaxRows - kFileRegisterTop);

        // The sheet's tables go, and so does an earlier register's table elsewhere in the workbook.
        for (const auto& table : std::vector(sheet->listObjects().items())) table->unlist();
        for (const auto& other : sheet->parent()->worksheets())
            for (const auto& table : std::vector(other->listObjects().items()))
                if (host::StrComp(table->name(), kFileRegisterTable, host::CompareMethod::Text) == 0) table->unlist();
        sheet->usedRange()->clearContents();
        sheet->range("A1")->setValue(CellLiteral(folder));
        std::vector<std::vector<Variant>> rows{{"Path", "Folder", "Name", "Extension", "Size", "Modified"}};
        rows.reserve(files.size() + 1);
        for (const auto& f : files)
            rows.push_back({f.folder + "/" + f.name, f.folder, f.name, extensionOf(f.name), static_cast<double>(f.size),
                            host::Date{f.modified}});
        auto table = sheet->listObjects().add(WriteRows(sheet->cells(kFileRegisterTop, 1), rows));
        table->setName(kFileRegisterTable);
    });
}

void UnpivotCurrentRegion() {
    RunCommand([] {
        if (!WorkbookIsOpen()) return;
        auto sheet = ActiveWorksheet();
        auto region = sheet->range("A1")->currentRegion();
        const host::formula::Area area = region->firstArea();
        if (area.cellCount() > host::formula::kMaxRows)
            throw host::RuntimeError(host::err::InvalidArgument, "The region has more cells than a sheet has rows.");
        const Variant values = region->value();  // one value for a one-cell region
        auto at = [&](int r, int c) { return values.isArray() ? values.arrayValue()(r - area.top + 1, c - area.left + 1) : values; };
        // A region of several rows and columns has its column labels in its first row and its row
        // labels in its first column; a single row or column is unpivoted by position.
        const bool labelled = area.rows() > 1 && area.columns() > 1;
        const int firstRow = labelled ? area.top + 1 : area.top, firstColumn = labelled ? area.left + 1 : area.left;
        std::vector<std::vector<Variant>> rows;
        rows.reserve(static_cast<std::size_t>(area.cellCount()));
        for (int r = firstRow; r <= area.bottom; ++r)
            for (int c = firstColumn; c <= area.right; ++c)
                rows.push_back({labelled ? at(r, area.left) : Variant(static_cast<double>(r)),
                                labelled ? at(area.top, c) : Variant(static_cast<double>(c)), at(r, c)});
        auto book = sheet->parent();
        auto target = book->addSheet(nullptr, sheet, unpivotedSheetName(*book, sheet->name()));
        target->activate();
        WriteRows(target->range("A1"), rows);
    });
}

}  // namespace telm
