#include "batch/P_TC_Program.h"

#include <filesystem>
#include <vector>

#include "analyses/BusyState.h"
#include "batch/TextConverterDefinition.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "core/P_ObslBledow.h"
#include "host/ado/Connection.h"
#include "host/ado/Recordset.h"
#include "host/ado/SqlStatements.h"
#include "host/base/DateSerial.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/base/TextFile.h"
#include "host/files/XlsxStore.h"
#include "host/files/Xml.h"
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

// The rows of one file after its skipped lines, each with the number of the line it came from.
struct FileRows {
    std::vector<Row> rows;
    std::vector<std::size_t> lines;
};

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

// Which row the database refuses: the rows are inserted one by one in a transaction that is then
// rolled back. The index of the first refused row and the driver's reason.
std::pair<std::size_t, std::string> refusedRow(host::ado::Connection& connection, const TextConverterDefinition& d,
                                               const std::vector<Row>& rows) {
    const std::string head = insertHead(d);
    std::pair<std::size_t, std::string> refused{rows.size(), {}};
    execute(connection, "BEGIN");
    ensureTable(connection, d);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        try {
            execute(connection, head + valuesOf(rows[i]));
        } catch (const host::RuntimeError& e) {
            refused = {i, e.description()};
            break;
        }
    }
    execute(connection, "ROLLBACK");
    return refused;
}

// Loads one file's rows in one transaction, the table created in it when missing: either all of them
// stay or none. A refusal raises, naming the file and the line of the row refused.
void loadFile(host::ado::Connection& connection, const TextConverterDefinition& d, const std::string& file,
              const FileRows& content) {
    execute(connection, "BEGIN");
    try {
        ensureTable(connection, d);
        insertRows(connection, d, content.rows);
        execute(connection, "COMMIT");
    } catch (const host::RuntimeError& e) {
        IgnoringErrors([&] { execute(connection, "ROLLBACK"); });
        std::string where = file, reason = e.description();
        IgnoringErrors([&] {
            const auto [row, rowReason] = refusedRow(connection, d, content.rows);
            if (row >= content.rows.size()) return;
            where += ", line " + std::to_string(content.lines[row]);
            reason = rowReason;
        });
        throw host::RuntimeError(e.number(), where + ": " + reason + "\nNothing of this file has been loaded.");
    }
}

// The rows of one file after its skipped lines; a line that cannot be read raises, naming it.
FileRows readRows(const std::string& file, const TextConverterDefinition& d) {
    const auto lines = host::splitLines(host::readTextFile(file));
    FileRows content;
    for (std::size_t i = static_cast<std::size_t>(std::max(0L, d.skipRows)); i < lines.size(); ++i) {
        if (host::Trim(lines[i]).empty()) continue;
        try {
            content.rows.push_back(SplitListingLine(lines[i], d));
            content.lines.push_back(i + 1);
        } catch (const host::RuntimeError& e) {
            throw host::RuntimeError(e.number(), file + ", line " + std::to_string(i + 1) + ": " + e.description());
        }
    }
    return content;
}

std::string previewPath() { return SharedState().AddInFolder + "\\" + kPreviewWorkbook; }

void writePreview(const TextConverterDefinition& d, const std::vector<Row>& rows) {
    auto app = host::sheet::Application::create();
    host::files::attachWorkbookStore(*app);
    app->setCalculation(host::sheet::CalculationMode::Manual);
    auto sheet = app->workbooks().add()->sheet(1);
    for (std::size_t f = 0; f < d.fields.size(); ++f) sheet->cells(1, static_cast<int>(f) + 1)->setValue(d.fields[f].name);
    for (std::size_t r = 0; r < std::min(rows.size(), kPreviewRows); ++r)
        for (std::size_t f = 0; f < rows[r].size(); ++f)
            if (!rows[r][f].isNull()) sheet->cells(static_cast<int>(r) + 2, static_cast<int>(f) + 1)->setValue(rows[r][f]);
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
        std::vector<Row> loaded;
        {
            BusyState busy(true);
            busy.status(GetMessageText(132));
            host::ado::Connection connection;
            connection.open(ReplaceFolderPlaceholder(d.connection));
            busy.status(GetMessageText(133));
            for (const auto& file : files) {
                busy.status(GetMessageText(134));
                const FileRows content = readRows(file, d);
                busy.status(GetMessageText(135));
                loadFile(connection, d, file, content);
                loaded.insert(loaded.end(), content.rows.begin(), content.rows.end());
                busy.status(GetMessageText(136) + " " + std::to_string(loaded.size()));
            }
            writePreview(d, loaded);
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
