#include "data/P_Archiwum.h"

#include <optional>
#include <string_view>

#include "core/A_Deklaracje.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/os/System.h"
#include "host/sheet/Comment.h"

namespace telm {

namespace {

constexpr std::string_view kNoArchive = ".";
constexpr std::string_view kNoArchivedValue = "..";
constexpr std::string_view kArchiveMismatch = "#Arch!";

// The comment's rewrites of a SourceDescription, applied in this order to encode; decoding swaps
// each pair and keeps the order.
struct CommentRewrite {
    std::string_view description;
    std::string_view comment;
};
constexpr CommentRewrite kCommentRewrites[] = {
    {"m(:)", "--> OLAP:\n"}, {"s(:)", "--> ODBC:\n"}, {"l(:)", "--> LINK:\n"}, {"(:)", "-->"}, {";", ";\n"},
};

// The first line of a newly created settings file when the caller asks for a header.
std::string SettingsHeader() {
    return "GETDATA() Function data source settings\n\r\n\r" + host::String(79, "-") + "\r\n";
}

// An empty twin cell, or a twin block of empty cells (the twin of an array formula).
bool IsEmptyTwin(const host::Variant& value) {
    if (!value.isArray()) return value.isEmpty();
    for (const host::Variant& item : value.arrayValue().elements())
        if (!item.isEmpty()) return false;
    return true;
}

bool IsText(const host::Variant& value, std::string_view text) {
    return value.isString() && value.stringValue() == text;
}

// The calling range's twin: the same address on the sheet named after the caller's sheet with ".a"
// appended, in the workbook of the caller's name found in `books`; nullptr when that workbook has no
// twin sheet (the usual case, found without raising). Raises when the caller or its workbook is missing.
host::sheet::RangePtr CallerTwinRange(const host::sheet::Workbooks& books) {
    const host::sheet::RangePtr caller = host::sheet::asRange(ExcelApplication().caller());
    if (!caller) throw host::RuntimeError(host::err::ObjectRequired);
    const auto sheet = caller->parent();
    const auto book = sheet->parent();
    if (!book) throw host::RuntimeError(host::err::ObjectNotSet);
    const auto twin = books.item(book->name())->findSheet(sheet->name() + ".a");
    return twin ? twin->range(caller->address()) : nullptr;
}

// Whether a sheet of the workbooks can be a twin. Most workbooks have none, and then no caller has a
// twin.
bool mayHoldTwins(const host::sheet::Workbooks& books) {
    for (const auto& book : books.all())
        for (const auto& sheet : book->worksheets())
            if (IsArchiveSheetName(sheet->name())) return true;
    return false;
}

// The caller's twin looked up in `books`; null when there is none: no twin sheet, or the look-up
// raised (no calling cell, no workbook).
host::sheet::RangePtr LookUpCallerTwin(const host::sheet::Workbooks* books) {
    try {
        return books && mayHoldTwins(*books) ? CallerTwinRange(*books) : nullptr;
    } catch (const host::RuntimeError&) {
        return nullptr;
    }
}

// The request a twin cell's comment holds; ".." (or "." while an archive operation runs) without one.
std::string ArchivedSourceOf(const host::sheet::Range& twin) {
    const std::string_view marker = SharedState().ArchiveOperationActive ? kNoArchive : kNoArchivedValue;
    try {
        const auto comment = twin.comment();
        if (!comment) return std::string(marker);
        std::string text = comment->text();
        return DecodeSourceComment(text);
    } catch (const host::RuntimeError&) {
        return std::string(marker);
    }
}

// A twin's value; ".." for an empty twin, "." when it cannot be read.
host::Variant ArchivedValueOf(const host::sheet::Range& twin) {
    try {
        host::Variant value = twin.value();
        return IsEmptyTwin(value) ? host::Variant(kNoArchivedValue) : value;
    } catch (const host::RuntimeError&) {
        return kNoArchive;
    }
}

}  // namespace

host::Variant GetArchivedValue() {
    if (SharedState().ArchiveOperationActive) return kNoArchivedValue;
    const auto twin = LookUpCallerTwin(&ExcelApplication().workbooks());
    return twin ? ArchivedValueOf(*twin) : host::Variant(kNoArchive);
}

std::string GetArchivedSource() {
    const auto twin = LookUpCallerTwin(SharedState().ExcelWorkbooks.get());
    return twin ? ArchivedSourceOf(*twin) : std::string(kNoArchive);
}

std::string EncodeSourceComment(std::string& text) {
    for (const auto& rewrite : kCommentRewrites) text = host::Replace(text, rewrite.description, rewrite.comment);
    return text;
}

std::string DecodeSourceComment(std::string& text) {
    // The request ends at the blank line before the signature, so that a request holding line feeds
    // of its own comes back whole; only a comment without that line ends at its first line feed.
    const bool signed_ = text.find("\n\n") != std::string::npos;
    for (const auto& rewrite : kCommentRewrites) text = host::Replace(text, rewrite.comment, rewrite.description);
    if (!signed_) return host::Left(text, host::InStr(text, "\n") - 1);
    return text.substr(0, text.rfind("\n\n"));
}

bool IsArchiveSheetName(const std::string& name) {
    // Only "." upper-cases to "." and only "a" and "A" to "A", so the last two bytes tell.
    return name.size() >= 2 && name[name.size() - 2] == '.' && (name.back() == 'a' || name.back() == 'A');
}

bool IsArchiveTwin(const host::sheet::Worksheet& sheet) {
    if (sheet.shapes().size() > sheet.comments().size()) return false;  // a drawing of the user's
    bool holdsEntry = false;
    for (const auto& [key, cell] : sheet.allCells()) {
        if (cell.formula || cell.array) return false;
        if (cell.comment) {
            if (!cell.comment->text().starts_with("--> ")) return false;  // not an archive comment
            holdsEntry = true;
        } else if (IsText(cell.value, kNoArchive)) {
            holdsEntry = true;
        } else if (!cell.value.isEmpty()) {
            return false;
        }
    }
    return holdsEntry || sheet.visible() != host::sheet::SheetVisibility::Visible;
}

std::optional<host::Variant> ArchiveDecision(const std::string& key, ArchiveOrder order) {
    auto& s = SharedState();
    if (s.ArchiveOperationActive) return std::nullopt;
    // Without a twin the source reads "." and nothing is decided: one look-up serves both readings.
    const auto twin = LookUpCallerTwin(s.ExcelWorkbooks.get());
    if (!twin) return std::nullopt;
    const std::string source = ArchivedSourceOf(*twin);
    const host::Variant value = ArchivedValueOf(*twin);
    const bool twinEmpty = IsText(value, kNoArchivedValue);
    if (order == ArchiveOrder::EmptyTwinFirst && twinEmpty) return std::nullopt;
    if (source == key || (source != kNoArchive && IsText(value, kNoArchive))) {
        IncrementCounter(s.ArchiveHitCount);
        return value;
    }
    if (twinEmpty || source == kNoArchive) return std::nullopt;
    return host::Variant(kArchiveMismatch);
}

bool AppendLogLine(const std::string& line, const std::optional<std::string>& file, bool /*flag*/,
                   const std::string& header) {
    const std::string path = file.value_or(SharedState().AddInFolder + "\\Log\\other.log");
    std::string text;
    if (!host::os::pathExists(path)) {
        host::writeTextFile(path, "", false);  // creating it fails for a missing folder
        if (!header.empty()) text = SettingsHeader();
    }
    text += line + "\r\n";
    host::writeTextFile(path, text, true);
    return true;
}

}  // namespace telm
