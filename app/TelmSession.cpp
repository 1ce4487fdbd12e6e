#include "app/TelmSession.h"

#include <filesystem>
#include <ostream>

#include "app/MenuListing.h"
#include "host/base/NumberFormat.h"
#include "host/sheet/CommandBars.h"
#include "host/base/RuntimeError.h"
#include "host/files/XlsxStore.h"

namespace telm::app {

namespace fs = std::filesystem;
using host::RuntimeError;
using host::Variant;

namespace {

std::string absolute(const std::string& path) { return fs::absolute(fs::path(path)).lexically_normal().string(); }

// A value as the spreadsheet displays it in a cell formatted General.
std::string displayed(const Variant& v) { return v.isEmpty() ? std::string() : host::formatValue(v, "General"); }

void printRows(std::ostream& out, long rows, long columns, const std::function<std::string(long, long)>& cell) {
    for (long r = 1; r <= rows; ++r) {
        for (long c = 1; c <= columns; ++c) out << (c > 1 ? "\t" : "") << cell(r, c);
        out << "\n";
    }
}

}  // namespace

std::string programFolder() { return fs::canonical("/proc/self/exe").parent_path().string(); }

TelmSession::TelmSession(const TelmOptions& options, std::istream& in, std::ostream& out, std::ostream& err)
    : out_(out), dialogs_(std::make_shared<host::ui::TerminalBackend>(in, out)), app_(host::sheet::Application::create()) {
    for (const auto& a : options.answers) dialogs_->giveAnswer(a);
    host::ui::setBackend(dialogs_);
    host::files::attachWorkbookStore(*app_);
    app_->onStatusBar = [&err](const Variant& v) {
        if (v.isString() && !v.stringValue().empty()) err << "... " << v.stringValue() << "\n";
    };
    app_->onEditLine = [&err](const std::string& text) { err << "Edit line: " << text << "\n"; };

    std::string folder = options.addinFolder;
    if (folder.empty()) {
        folder = programFolder();
        if (!fs::exists(fs::path(folder) / host::companion::kWorkbookName))
            throw RuntimeError(host::err::FileNotFound,
                               "No add-in folder: there is no TELM.NET.xla next to the program; give --addin DIR.");
    }
    if (!fs::is_directory(folder)) throw RuntimeError(host::err::PathNotFound, "The add-in folder '" + folder + "' does not exist.");
    const std::string library = options.library.empty() ? programFolder() + "/libtelm.so" : options.library;
    companion_ = host::companion::Companion::open(app_, absolute(folder), library);
    for (const auto& book : options.workbooks) app_->workbooks().open(absolute(book));
}

TelmSession::~TelmSession() {
    companion_.reset();
    host::ui::setBackend(nullptr);
}

host::sheet::WorkbookPtr TelmSession::activeWorkbook() const {
    auto book = app_->activeWorkbook();
    if (!book) throw RuntimeError(host::err::InvalidArgument, "No workbook is open.");
    return book;
}

void TelmSession::runSteps(const std::vector<Step>& steps) {
    for (const Step& step : steps) runStep(step);
}

void TelmSession::runStep(const Step& step) {
    using Kind = Step::Kind;
    switch (step.kind) {
    case Kind::New: app_->workbooks().add(); break;
    case Kind::Select:
        activeWorkbook();
        app_->range(step.argument)->select();
        break;
    case Kind::Sheet: activeWorkbook()->sheet(step.argument)->activate(); break;
    case Kind::Book: app_->workbooks().item(step.argument)->activate(); break;
    case Kind::Run: app_->run(step.argument); break;
    case Kind::Set: {
        activeWorkbook();
        const auto eq = step.argument.find('=');
        app_->range(step.argument.substr(0, eq))->setFormula(step.argument.substr(eq + 1));
        break;
    }
    case Kind::Calculate: app_->calculate(); break;
    case Kind::CalculateSheet: activeWorkbook()->activeSheet()->calculate(); break;
    case Kind::Print: print(step.argument, false); break;
    case Kind::PrintFormulas: print(step.argument, true); break;
    case Kind::Save: activeWorkbook()->save(); break;
    case Kind::SaveAs: activeWorkbook()->saveAs(absolute(step.argument)); break;
    case Kind::Eval: eval(step.argument); break;
    case Kind::Copy:
        activeWorkbook();
        app_->range(step.argument)->copy();
        break;
    case Kind::Menus: printInstalledCommands(app_->commandBars(), out_); break;
    }
}

void TelmSession::print(const std::string& rangeText, bool formulas) {
    activeWorkbook();
    auto range = app_->range(rangeText);
    printRows(out_, range->rowCount(), range->columnCount(), [&](long r, long c) {
        auto cell = range->cells(static_cast<int>(r), static_cast<int>(c));
        return formulas ? cell->formula().toString() : cell->text();
    });
}

void TelmSession::eval(const std::string& formulaText) {
    if (!scratch_) {
        auto previous = app_->activeWorkbook();
        scratch_ = app_->workbooks().add()->sheet(1);
        if (previous) previous->activate();
    }
    const Variant v = app_->evaluateInCell(scratch_->cells(++scratchRow_, 1), formulaText);
    if (!v.isArray()) {
        out_ << displayed(v) << "\n";
        return;
    }
    const host::Array& a = v.arrayValue();
    if (a.dimensions() == 1) {
        printRows(out_, 1, a.count(1), [&](long, long c) { return displayed(a(a.lbound(1) + c - 1)); });
        return;
    }
    printRows(out_, a.count(1), a.count(2),
              [&](long r, long c) { return displayed(a(a.lbound(1) + r - 1, a.lbound(2) + c - 1)); });
}

}  // namespace telm::app
