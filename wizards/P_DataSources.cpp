#include "wizards/P_DataSources.h"

#include "commands/CommandSupport.h"
#include "core/A_Deklaracje.h"
#include "core/A_Languages.h"
#include "core/P_ObslBledow.h"
#include "data/F_Dane.h"
#include "data/F_Lacze.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/formula/Formula.h"
#include "host/sheet/Application.h"
#include "host/sheet/Worksheet.h"
#include "wizards/fFormDefZroDan.h"
#include "wizards/fKreatorFDane.h"

namespace telm {

using host::Variant;

namespace {

// The text of an argument as the cell evaluates it; an array of texts is joined.
std::string argumentValue(const host::sheet::RangePtr& cell, const std::string& argument) {
    const Variant value = ExcelApplication().evaluateInCell(cell, "=" + argument);
    if (!value.isArray()) return value.toString();
    std::string joined;
    const host::Array& a = value.arrayValue();
    for (const Variant& part : a.elements()) joined += part.toString();
    return joined;
}

struct Definition {
    std::string name, type, addString, connection, query, arguments, sample;
};

std::optional<Definition> definitionOfFormula(const host::sheet::RangePtr& cell, const std::string& formula) {
    auto argument = [&](const std::vector<std::string>& a, std::size_t i) {
        return i < a.size() ? argumentValue(cell, a[i]) : std::string();
    };
    if (auto a = FunctionArguments(formula, "GETDATAODBC"); !a.empty())
        return Definition{{}, "ODBC", {}, argument(a, 0), argument(a, 1), {}, {}};
    if (auto a = FunctionArguments(formula, "GETDATAOLAP"); !a.empty())
        return Definition{{}, "OLAP", argument(a, 3),
                          argument(a, 0) + "," + argument(a, 1) + "," + argument(a, 2), argument(a, 4), {}, {}};
    if (auto a = FunctionArguments(formula, "GETDATALINK"); !a.empty())
        return Definition{{}, "XLS", {}, argument(a, 0), {}, {}, {}};
    for (const char* name : {"GETDATA", "DANE"}) {
        auto a = FunctionArguments(formula, name);
        if (a.empty()) continue;
        const DataModelVariable* v = FindDataModelVariable(argument(a, 0));
        if (!v) return Definition{};
        return Definition{v->Name,           v->TYPE,      v->ADDSTRING, v->CONNECTIONTEXT,
                          v->QUERYTEXT,      v->GETDATAARGUMENTS, v->SAMPLEFUNCTION};
    }
    const Variant link = FormulaToLinkText(Variant(formula));
    if (link.toString() == "#") return std::nullopt;
    return Definition{{}, "XLS", {}, link.toString(), {}, {}, {}};
}

std::optional<Definition> definitionOfQueryTable(const host::sheet::RangePtr& cell) {
    for (const auto& table : cell->parent()->queryTables()) {
        if (!table->resultRange.contains(cell->row(), cell->column())) continue;
        return Definition{{}, "ODBC", {}, host::sheet::untypedConnection(table->connection), table->commandText, {}, {}};
    }
    return std::nullopt;
}

void fill(fFormDefZroDan& form, const Definition& d) {
    form.TextBoxName.setText(d.name.empty() ? GetMessageText(3180) : d.name);
    form.TextBoxAbout.setText(GetMessageText(3179));
    form.TextBoxType.setText(d.type);
    form.TextBoxAddString.setText(d.addString);
    form.TextBoxConnectionText.setText(d.connection);
    form.TextBoxQueryText.setText(d.query);
    form.TextBoxArguments.setText(d.arguments);
    form.TextBoxSample.setText(d.sample);
}

// The saved variable's sample as the cell's formula; nullopt without a sample (a call of the name
// alone gives no value) or for one that does not parse, so that the cell keeps what it holds.
std::optional<std::string> sampleToWrite(const fFormDefZroDan& form, const host::sheet::Range& cell) {
    const std::string sample = host::Trim(form.TextBoxSample.text());
    if (sample.empty()) return std::nullopt;
    const std::string formula = SampleFormula(sample);
    try {
        host::formula::Formula::parse(formula, host::formula::ReferenceStyle::A1, cell.row(), cell.column());
    } catch (const host::RuntimeError&) {
        return std::nullopt;
    }
    return formula;
}

}  // namespace

std::vector<std::string> FunctionArguments(const std::string& formula, const std::string& function) {
    const std::string head = "=" + host::UCase(function) + "(";
    if (host::UCase(host::Left(formula, host::Len(head))) != head) return {};
    std::vector<std::string> arguments;
    std::string current;
    int depth = 0;
    bool inText = false;
    for (std::size_t i = head.size(); i < formula.size(); ++i) {
        const char c = formula[i];
        if (c == '"') inText = !inText;
        if (!inText) {
            if (c == '(' || c == '{') ++depth;
            if ((c == ')' || c == '}') && depth-- == 0) {
                arguments.push_back(host::Trim(current));
                return arguments;
            }
            if (c == ',' && depth == 0) {
                arguments.push_back(host::Trim(current));
                current.clear();
                continue;
            }
        }
        current += c;
    }
    return {};  // no closing parenthesis
}

void OpenDataSourceWizard() {
    RunCommand([] {
        auto& app = ExcelApplication();
        auto cell = app.activeCell();
        if (!cell) {
            ReportMessage(GetMessageText(1000), 48, GetMessageText(2002));
            return;
        }
        const std::string formula = cell->formula().toString();
        auto definition = formula.starts_with("=") ? definitionOfFormula(cell, formula) : std::nullopt;
        if (!definition) definition = definitionOfQueryTable(cell);
        auto& form = DataSourceDefinitionForm();
        fill(form, definition.value_or(Definition{}));
        form.SetFormLanguage();
        form.clearSaved();
        form.show();
        if (!form.saved()) return;

        LoadDataModel(false);
        const auto sample = sampleToWrite(form, *cell);
        if (!sample) return;
        auto& s = SharedState();
        s.ArchiveOperationActive = true;
        try {
            cell->setFormula(*sample);
        } catch (const host::RuntimeError&) {
            s.ArchiveOperationActive = false;
            throw;
        }
        s.ArchiveOperationActive = false;
    });
}

}  // namespace telm
