#include "data/F_Lacze.h"

#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/F_Pomocnicze.h"
#include "core/P_ObslBledow.h"
#include "data/F_000.h"
#include "data/P_Archiwum.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"
#include "host/ui/Dialogs.h"

namespace telm {

using host::Array;
using host::Variant;

namespace {

// The link of the most recent GetDataLinkCore call (folder token expanded, address as written).
std::string lastLinkText;

constexpr const char* kCompanionWorkbook = "TELM.NET.XLA";
constexpr const char* kNoDataText = "#Brak danych dla zadanych argumentów. Zapytanie jest prawidłowe.";
constexpr const char* kNoLinkText = "#Brak łącza. / ";
constexpr int kConfirmLinksMessage = 108;
constexpr int kDataModelTitle = 2002;
// Each cell of a linked block is one read; a larger block is refused rather than read for hours.
constexpr long long kMaxLinkBlockCells = 100000;
// The longest link a GETDATALINK formula is written with.
constexpr long kLongestLink = 1000;

bool isFailure(const Variant& v) {
    return v.isError() || (v.isString() && host::Left(v.stringValue(), 1) == "#");
}

void startDescribeRequest() {
    auto& s = SharedState();
    if (s.DescribeModeRequested) s.DescribeModeActive = true;
    IncrementCounter(s.DataFunctionCallCount);
}

// The active sheet; raises when there is none.
host::sheet::WorksheetPtr activeSheet() {
    auto sheet = ExcelApplication().activeSheet();
    if (!sheet) throw host::RuntimeError(host::err::ObjectNotSet);
    return sheet;
}

// The address in absolute R1C1 form as the active sheet reads it; the address itself when it is no
// A1 reference there (an address already in R1C1 form).
std::string r1c1Address(const std::string& address) {
    try {
        return activeSheet()->range(address)->address(true, true, host::formula::ReferenceStyle::R1C1);
    } catch (const host::RuntimeError&) {
        return address;
    }
}

// The block the address covers, measured on the companion add-in's first sheet; nullptr when it
// cannot be measured there.
host::sheet::RangePtr measuredBlock(const std::string& address) {
    try {
        return ExcelApplication().workbooks().item(kCompanionWorkbook)->sheet(1)->range(address);
    } catch (const host::RuntimeError&) {
        return nullptr;
    }
}

// Where the address of a link begins: after the "!" that ends its workbook and sheet. A quoted part
// ('...') is read whole, so that a sheet name holding "!" stays part of it; a quote inside is doubled.
std::size_t addressStart(const std::string& link) {
    std::size_t at = 0;
    if (!link.empty() && link.front() == '\'') {
        for (at = 1; at < link.size(); ++at) {
            if (link[at] != '\'') continue;
            if (at + 1 < link.size() && link[at + 1] == '\'') {
                ++at;  // a doubled quote stands for one
                continue;
            }
            break;
        }
    }
    const std::size_t bang = link.find('!', at);
    return bang == std::string::npos ? 0 : bang + 1;
}

// Every cell of a block read through its own link (`source` is the link up to and including its "!").
Variant readBlock(const std::string& source, const host::sheet::RangePtr& block) {
    if (block->count() > kMaxLinkBlockCells) throw host::RuntimeError(host::err::OutOfMemory);
    Variant result = block->value();
    Array& values = result.arrayValue();
    for (const auto& cell : block->cellList()) {
        std::string cellLink = source + cell->address(true, true, host::formula::ReferenceStyle::R1C1);
        values(cell->row() - block->row() + 1, cell->column() - block->column() + 1) = DispatchLacze000(cellLink);
    }
    return result;
}

// "'" & folder & "\[" & book & "]" & sheet & "'!" & address for a formula "=[book]sheet!address"
// whose workbook is open.
std::string linkOfOpenWorkbook(const std::string& formula) {
    const long p = host::InStr(formula, "]");
    const long q = host::InStr(formula, "!");
    const std::string book = host::Mid(formula, 3, p - 3);
    return "'" + ExcelApplication().workbooks().item(book)->path() + "\\[" + book + "]" +
           host::Mid(formula, p + 1, q - p - 1) + "'!" + host::Mid(formula, q + 1);
}

std::string getDataLinkFormula(const std::string& link) { return "=GETDATALINK(\"" + link + "\")"; }

// The selection's cells within the used range of the active sheet; raises when they share none.
host::sheet::RangePtr selectedUsedCells() {
    auto& app = ExcelApplication();
    auto selection = app.selection();
    if (!selection) throw host::RuntimeError(host::err::ObjectRequired);
    auto used = activeSheet()->usedRange();
    auto cells = app.intersect(selection, used);
    if (!cells) throw host::RuntimeError(host::err::ObjectNotSet);
    return cells;
}

}  // namespace

Variant GetDataLinkCore(std::string& link) {
    auto& s = SharedState();
    Variant value;
    try {
        PrepareVolatileCall();
        s.CurrentConnectionText = link;
        s.CurrentQueryText = std::string();
        if (HoldsFolderPlaceholder(link)) link = ReplaceFolderPlaceholder(link);
        lastLinkText = link;
        ExcelApplication().displayAlerts = false;
        startDescribeRequest();

        const std::size_t start = addressStart(link);
        const std::string source = link.substr(0, start), address = link.substr(start);
        const std::string r1c1 = r1c1Address(address);
        if (r1c1 != address) {
            if (auto block = measuredBlock(address); block && block->count() > 1) return readBlock(source, block);
        }
        std::string normalised = source + r1c1;
        const std::string key = "l(:)" + normalised;
        if (auto archived = ArchiveDecision(key)) return *archived;
        if (s.DescribeModeActive) return key;

        value = DispatchLacze000(normalised);
        if (!isFailure(value)) return value;
    } catch (const std::exception&) {  // any failure answers by the level with what was read so far
    }
    return LevelRuleResult(value);
}

std::string XlsOdbcSql(const std::string& linkText, const std::string& fieldText, const std::string& conditionText) {
    const std::string rest = host::Mid(linkText, host::InStr(linkText, "]") + 1);
    const std::string t = host::Replace(host::Replace(rest, "'", ""), "!", "$");
    const std::string table = host::InStr(rest, ":") > 0 ? t : "`" + t + "` `" + t + "`";
    return "SELECT SUM(" + fieldText + ") FROM " + table + " WHERE " + conditionText;
}

Variant GetDataXlsOdbc(const std::string& linkText, const std::string& fieldText, const std::string& conditionText) {
    auto& s = SharedState();
    try {
        PrepareVolatileCall();
        const long p = host::InStr(linkText, "]");
        const std::string book = host::Replace(host::Replace(host::Left(linkText, p - 1), "[", ""), "'", "");
        const std::string connection = "Driver={Microsoft Excel Driver (*.xls)};Dbq=" + book + ";ReadOnly=False;";
        const std::string sql = XlsOdbcSql(linkText, fieldText, conditionText);
        startDescribeRequest();

        const std::string key = "s(:)" + connection + "(:)" + sql;
        if (auto archived = ArchiveDecision(key)) return *archived;
        if (s.DescribeModeActive) return key;

        const Variant rows = DispatchFunkcjaADO000(connection, sql);
        const Array& arr = rows.arrayValue();
        if (arr.dimensions() == 2 && (arr.ubound(1) * arr.ubound(2) > 0 || !arr(0, 0).isNull())) {
            Array out({{0, arr.count(2)}, {0, arr.count(1)}});
            for (long r = 0; r < arr.count(2); ++r)
                for (long c = 0; c < arr.count(1); ++c) {
                    const Variant& item = arr(c, r);
                    const bool zero = item.isNull() || (item.isNumber() && item.toDouble() == 0);
                    out(r, c) = zero ? Variant(".") : item;
                }
            return out;
        }
        if (arr.dimensions() == 2 || !isFailure(arr(arr.lbound(1)))) return LevelRuleResult(kNoDataText);
        return LevelRuleResult(kNoLinkText + arr(arr.lbound(1)).toString());
    } catch (const std::exception& e) {
        return LevelRuleResult(kNoLinkText + FailureDescription(e));
    }
}

void ConvertLinksToGetDataLink() {
    auto& app = ExcelApplication();
    try {
        for (const auto& cell : selectedUsedCells()->cellList()) {
            const std::string f = cell->formula().toString();
            if (host::Left(f, 2) == "='" && host::Len(f) - 1 > kLongestLink) {
                // Cut to fit, the link would read another cell or none: the formula stays as it is.
                app.setStatusBar("Formuła w " + cell->address() + " jest dłuższa niż " + std::to_string(kLongestLink) +
                                 " znaków i nie została zamieniona na funkcję 'GETDATALINK()'.");
            } else if (host::Left(f, 2) == "='") {
                cell->setFormula(getDataLinkFormula(host::Mid(f, 2, kLongestLink)));
            } else if (host::Left(f, 2) == "=[") {
                cell->setFormula(getDataLinkFormula(linkOfOpenWorkbook(f)));
            } else if (host::Left(f, 13) == "=GETDATALINK(") {
                app.setStatusBar("Formuła zawiera już funkcję 'GETDATALINK()'");
            } else {
                app.setStatusBar("Formuły w " + cell->address() + " nie da się zamienić na funkcję 'GETDATALINK()'.");
            }
        }
    } catch (const std::exception& e) {
        ReportMessage(FailureDescription(e), host::ui::vbCritical, GetMessageText(kDataModelTitle));
    }
    app.setStatusBar(false);
}

void ConvertGetDataLinkToLinks() {
    auto& app = ExcelApplication();
    auto& s = SharedState();
    app.displayAlerts = false;
    s.LinkSavedCalculation = static_cast<std::int32_t>(app.calculation());
    try {
        app.setCalculation(host::sheet::CalculationMode::Manual);
        const Variant answer = ReportMessage(GetMessageText(kConfirmLinksMessage),
                                             host::ui::vbOKCancel + host::ui::vbQuestion, GetMessageText(kDataModelTitle));
        if (host::equals(answer, host::ui::vbOK)) {
            for (const auto& cell : selectedUsedCells()->cellList()) {
                lastLinkText.clear();
                const Variant formula = cell->formula();
                if (host::UCase(host::Left(formula.toString(), 13)) != "=GETDATALINK(") continue;
                // Entered again, the formula is calculated even in manual mode, as a typed one is.
                cell->setFormula(formula);
                cell->calculate();
                // No link read (a GETDATALINK asked for its description): "=" alone is no formula.
                if (lastLinkText.empty()) throw host::RuntimeError(host::err::InvalidArgument);
                cell->setFormula("=" + lastLinkText);
            }
        }
    } catch (const std::exception&) {  // a failure ends the walk; the settings are restored below
    }
    app.displayAlerts = true;
    app.setCalculation(static_cast<host::sheet::CalculationMode>(s.LinkSavedCalculation));
}

Variant FormulaToLinkText(const Variant& formula) {
    const std::string f = formula.toString();
    if (host::Left(f, 2) == "='") return host::Mid(f, 2);
    if (host::Left(f, 2) == "=[") return linkOfOpenWorkbook(f);
    return "#";
}

}  // namespace telm
