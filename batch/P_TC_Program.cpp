#include "batch/P_TC_Program.h"

#include <filesystem>
#include <iterator>
#include <vector>

#include "analyses/BusyState.h"
#include "batch/TextConverterDefinition.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "core/P_ObslBledow.h"
#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFileLines.h"
#include "host/files/XlsxStore.h"
#include "host/files/Xml.h"
#include "host/odbc/SqlStatements.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/ui/Dialogs.h"

namespace telm {

namespace {

using Row = std::vector<host::Variant>;

constexpr int kTitle = 2009;
constexpr std::size_t kRowsPerStatement = 200;
constexpr std::size_t kPreviewRows = 65535;
constexpr double kOneSecond = 1.0 / 86400.0;

// Reports the converter's failure and notes it for the caller.
void report(const std::string& prompt) {
    ReportMessage(prompt, host::ui::vbExclamation, GetMessageText(kTitle));
    ExcelApplication().noteCommandFailure(prompt);
}

std::string literal(const host::Variant& value) {
    if (value.isNull()) return "NULL";
    if (value.isNumber()) return host::files::numberText(value.toDouble());
    return "'" + host::Replace(value.toString(), "'", "''") + "'";
}

void execute(host::ado::Connection& connection, const std::string& sql) {
    host::ado::Recordset r;
    r.open(sql, connection);
}

void ensureTable(host::ado::Connection& connection, const TextConverterDefinition& d) {
    std::string columns;
    for (const auto& field : d.fields)
        columns += (columns.empty() ? "" : ", ") + DoubleQuoted(field.name) + (field.number ? " DOUBLE PRECISION" : " TEXT");
    execute(connection, "CREATE TABLE IF NOT EXISTS " + DoubleQuoted(d.table) + " (" + columns + ")");
}

std::string insertHead(const TextConverterDefinition& d) {
    std::string columns;
    for (const auto& field : d.fields) columns += (columns.empty() ? "" : ", ") + DoubleQuoted(field.name);
    return "INSERT INTO " + DoubleQuoted(d.table) + " (" + columns + ") VALUES ";
}

std::string valuesOf(const Row& row) {
    std::string values = "(";
    for (std::size_t f = 0; f < row.size(); ++f) values += (f ? ", " : "") + literal(row[f]);
    return values + ")";
}

void insertRows(host::ado::Connection& connection, const TextConverterDefinition& d, const std::vector<Row>& rows) {
    const std::string head = insertHead(d);
    for (std::size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
        std::string sql = head;
        for (std::size_t i = first; i < std::min(rows.size(), first + kRowsPerStatement); ++i)
            sql += (i == first ? "" : ", ") + valuesOf(rows[i]);
        // A value the quotes cannot hold in every server's reading (a backslash before its closing
        // quote) would end the literal early.
        if (!host::ado::isSingleCompleteStatement(sql))
            throw host::RuntimeError(host::err::InvalidProcedureCall,
                                     "A value of the file cannot be written as an SQL literal (a backslash at its end?).");
        execute(connection, sql);
    }
}

// A line of the file that cannot be read or split, named in the error.
struct UnreadableLine {
    host::RuntimeError error;
};

// Calls take(row, line number) for each row of the file after its skipped lines, reading the file a
// line at a time. A line that cannot be read raises UnreadableLine, naming the file and the line.
template <class Take>
void forEachRow(host::TextFileLines& lines, const std::string& file, const TextConverterDefinition& d, const Take& take) {
    const auto skipped = static_cast<std::size_t>(std::max(0L, d.skipRows));
    std::string line;
    for (std::size_t number = 1;; ++number) {
        Row row;
        try {
            if (!lines.next(line)) return;
            if (number <= skipped || host::Trim(line).empty()) continue;
            row = SplitListingLine(line, d);
        } catch (const host::RuntimeError& e) {
            throw UnreadableLine{host::RuntimeError(e.number(), file + ", line " + std::to_string(number) + ": " + e.description())};
        }
        take(std::move(row), number);
    }
}

// Which row the database refuses: the file's rows are inserted one by one in a transaction that is
// then rolled back. The line of the first refused row (0 for none) and the driver's reason.
std::pair<std::size_t, std::string> refusedRow(host::ado::Connection& connection, const TextConverterDefinition& d,
                                               const std::string& file) {
    const std::string head = insertHead(d);
    std::pair<std::size_t, std::string> refused{0, {}};
    host::TextFileLines lines(file);
    execute(connection, "BEGIN");
    try {
        ensureTable(connection, d);
        forEachRow(lines, file, d, [&](const Row& row, std::size_t number) {
            if (refused.first) return;
            try {
                execute(connection, head + valuesOf(row));
            } catch (const host::RuntimeError& e) {
                refused = {number, e.description()};
            }
        });
    } catch (const UnreadableLine&) {
        // the file changed since it was loaded: no row to name
    } catch (...) {
        IgnoringErrors([&] { execute(connection, "ROLLBACK"); });
        throw;
    }
    execute(connection, "ROLLBACK");
    return refused;
}

// Loads one file's rows in one transaction, the table created in it when missing, a batch of rows at a
// time as the file is read: either all of them stay or none. The file's first rows are added to the
// preview once it is loaded. A refusal raises, naming the file and the line of the row refused; so
// does a line that cannot be read. Gives the number of rows loaded.
std::size_t loadFile(host::ado::Connection& connection, const TextConverterDefinition& d, const std::string& file,
                     std::vector<Row>& preview, BusyState& busy) {
    busy.status(GetMessageText(134));
    host::TextFileLines lines(file);
    busy.status(GetMessageText(135));
    std::vector<Row> batch, previewRows;
    std::size_t loaded = 0;
    auto insertBatch = [&] {
        insertRows(connection, d, batch);
        loaded += batch.size();
        for (Row& row : batch) {
            if (preview.size() + previewRows.size() >= kPreviewRows) break;
            previewRows.push_back(std::move(row));
        }
        batch.clear();
    };
    execute(connection, "BEGIN");
    try {
        ensureTable(connection, d);
        forEachRow(lines, file, d, [&](Row row, std::size_t) {
            batch.push_back(std::move(row));
            if (batch.size() == kRowsPerStatement) insertBatch();
        });
        insertBatch();
        execute(connection, "COMMIT");
    } catch (const UnreadableLine& e) {
        IgnoringErrors([&] { execute(connection, "ROLLBACK"); });
        throw e.error;
    } catch (const host::RuntimeError& e) {
        IgnoringErrors([&] { execute(connection, "ROLLBACK"); });
        std::string where = file, reason = e.description();
        IgnoringErrors([&] {
            const auto [line, lineReason] = refusedRow(connection, d, file);
            if (!line) return;
            where += ", line " + std::to_string(line);
            reason = lineReason;
        });
        throw host::RuntimeError(e.number(), where + ": " + reason + "\nNothing of this file has been loaded.");
    }
    preview.insert(preview.end(), std::make_move_iterator(previewRows.begin()), std::make_move_iterator(previewRows.end()));
    return loaded;
}

std::string previewPath() { return SharedState().AddInFolder + "\\" + kPreviewWorkbook; }

// Writes the preview of the rows, giving back each row's memory once it is in the sheet.
void writePreview(const TextConverterDefinition& d, std::vector<Row> rows) {
    auto app = host::sheet::Application::create();
    host::files::attachWorkbookStore(*app);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    auto sheet = app->workbooks().add()->sheet(1);
    for (std::size_t f = 0; f < d.fields.size(); ++f) sheet->cells(1, static_cast<int>(f) + 1)->setValue(d.fields[f].name);
    for (std::size_t r = 0; r < std::min(rows.size(), kPreviewRows); ++r) {
        const Row row = std::move(rows[r]);
        for (std::size_t f = 0; f < row.size(); ++f)
            if (!row[f].isNull()) sheet->cells(static_cast<int>(r) + 2, static_cast<int>(f) + 1)->setValue(row[f]);
    }
    rows = {};
    std::filesystem::create_directories(host::nativePath(SharedState().AddInFolder + "\\Temp"));
    sheet->parent()->saveAs(previewPath());
}

}  // namespace

void RunTextConverter() {
    try {
        auto sheet = ExcelApplication().activeSheet();
        TextConverterDefinition d;
        try {
            if (!sheet) throw host::RuntimeError(13, "no sheet");
            d = ReadConverterDefinition(*sheet);
        } catch (const host::RuntimeError&) {
            return report(GetMessageText(1021) + kTextConverterMark);
        }
        const auto files = MatchingFiles(d.file);
        if (files.empty()) return report(GetMessageText(1022) + "\n" + d.file);
        std::vector<Row> preview;
        std::size_t loaded = 0;
        {
            BusyState busy(true);
            busy.status(GetMessageText(132));
            host::ado::Connection connection;
            connection.open(ReplaceFolderPlaceholder(d.connection));
            busy.status(GetMessageText(133));
            for (const auto& file : files) {
                loaded += loadFile(connection, d, file, preview, busy);
                busy.status(GetMessageText(136) + " " + std::to_string(loaded));
            }
            writePreview(d, std::move(preview));
            busy.status(GetMessageText(137));
        }
        ExcelApplication().onTime(host::nowSerial() + kOneSecond, "OpenPreviewFile");
    } catch (const host::RuntimeError& e) {
        report(e.description());
    }
}

void OpenLastPreviewWorkbook(bool& silent) {
    const std::string path = previewPath();
    try {
        auto& workbooks = ExcelApplication().workbooks();
        const std::string name = path.substr(path.find_last_of('\\') + 1);
        if (auto open = workbooks.find(name)) open->close(false);
        workbooks.open(path);
    } catch (const host::RuntimeError&) {
        if (!silent) report(GetMessageText(1024) + path);
    }
}

}  // namespace telm
