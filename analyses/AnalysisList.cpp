#include "analyses/AnalysisList.h"

#include <cctype>

#include "host/base/RuntimeError.h"
#include "host/files/XlsxStore.h"
#include "host/sheet/Application.h"
#include "host/sheet/Range.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace telm {

namespace {

constexpr int kFirstRow = 3;
constexpr std::string_view kOptions = "PA";

std::shared_ptr<host::sheet::Application> privateApplication() {
    auto app = host::sheet::Application::create();
    host::files::attachWorkbookStore(*app);
    return app;
}

}  // namespace

std::vector<AnalysisEntry> ReadAnalysisList(const std::string& file) {
    auto app = privateApplication();
    auto book = app->workbooks().open(file);
    auto sheet = book->sheet(1);
    if (sheet->range("A1")->value() != host::Variant(kAnalysisMark))
        throw host::RuntimeError(13, "This is not an analysis file: " + file);
    std::vector<AnalysisEntry> entries;
    for (int row = kFirstRow;; ++row) {
        const host::Variant path = sheet->cells(row, 1)->value();
        if (path.isEmpty() || path.toString().empty()) break;
        entries.push_back({path.toString(), sheet->cells(row, 2)->value().toString()});
    }
    return entries;
}

void WriteAnalysisList(const std::string& file, const std::vector<AnalysisEntry>& entries) {
    auto app = privateApplication();
    auto book = app->workbooks().add();
    auto sheet = book->sheet(1);
    sheet->setName("Analysis");
    sheet->range("A1")->setValue(kAnalysisMark);
    sheet->range("A2")->setValue("Workbook");
    sheet->range("B2")->setValue("Options");
    int row = kFirstRow;
    for (const auto& entry : entries) {
        sheet->cells(row, 1)->setValue(entry.path);
        if (!entry.options.empty()) sheet->cells(row, 2)->setValue(entry.options);
        ++row;
    }
    book->saveAs(file);
}

bool HasOption(const std::string& options, char option) {
    for (char c : options)
        if (std::toupper(static_cast<unsigned char>(c)) == option) return true;
    return false;
}

std::string UnknownOptions(const std::string& options) {
    std::string unknown;
    for (char c : options) {
        if (c == ' ') continue;
        if (kOptions.find(static_cast<char>(std::toupper(static_cast<unsigned char>(c)))) == std::string_view::npos)
            unknown += c;
    }
    return unknown;
}

}  // namespace telm
