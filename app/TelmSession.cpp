#include "app/TelmSession.h"

#include <filesystem>
#include <ostream>

#include "app/MenuListing.h"
#include "app/ScheduledMacros.h"
#include "host/ado/PivotRefresh.h"
#include "host/ado/QueryTableRefresh.h"
#include "host/base/NumberFormat.h"
#include "host/base/RuntimeError.h"
#include "host/files/XlsxStore.h"
#include "host/os/Interrupt.h"
#include "host/os/Launcher.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/CommandBars.h"

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

// The add-in folder to use: given, or the one next to the program. Raises TelmFailure naming what
// is wrong with it.
std::string addinFolderOf(const TelmOptions& options) {
    if (options.addinFolder.empty()) {
        const std::string folder = programFolder();
        if (!fs::exists(fs::path(folder) / host::companion::kWorkbookName))
            throw TelmFailure("no add-in folder: there is no TELM.NET.xla next to the program; give --addin DIR");
        return folder;
    }
    const std::string& folder = options.addinFolder;
    std::error_code ec;
    const auto status = fs::status(folder, ec);
    if (status.type() == fs::file_type::not_found) throw TelmFailure("--addin " + folder + ": the folder does not exist");
    if (ec) throw TelmFailure("--addin " + folder + ": cannot look at the folder (" + ec.message() + ")");
    if (status.type() != fs::file_type::directory) throw TelmFailure("--addin " + folder + ": not a folder");
    fs::directory_iterator probe(folder, ec);
    if (ec) throw TelmFailure("--addin " + folder + ": cannot read the folder (" + ec.message() + ")");
    return folder;
}

std::string sheetNames(const host::sheet::Workbook& book) {
    std::string names;
    for (const auto& s : book.worksheets()) names += (names.empty() ? "" : ", ") + s->name();
    return names;
}

}  // namespace

std::string programFolder() { return fs::canonical("/proc/self/exe").parent_path().string(); }

TelmSession::TelmSession(const TelmOptions& options, std::istream& in, std::ostream& out, std::ostream& err,
                         bool inputIsTerminal)
    : out_(out),
      err_(err),
      status_(err),
      dialogs_(std::make_shared<host::ui::TerminalBackend>(in, err, inputIsTerminal)),
      app_(host::sheet::Application::create()) {
    for (const auto& a : options.answers) dialogs_->giveAnswer(a);
    dialogs_->takeDefaults(options.takeDefaults);
    dialogs_->setIdleWork([this] { return runDueMacrosWhileWaiting(); });
    host::ui::setBackend(dialogs_);
    host::os::setLauncher(host::os::desktopLauncher());
    host::files::attachWorkbookStore(*app_);
    app_->countryCode = options.countryCode.value_or(countryCodeOfLocale());
    app_->onStatusBar = [this](const Variant& v) { status_.statusBar(v); };
    app_->onProgress = [this](const std::optional<std::string>& text) { status_.progress(text); };
    app_->onEditLine = [&err](const std::string& text) { err << "Edit line: " << text << "\n"; };
    try {
        start(options);
    } catch (...) {
        companion_.reset();
        host::ui::setBackend(nullptr);
        host::os::setLauncher(nullptr);
        throw;
    }
}

void TelmSession::start(const TelmOptions& options) {
    const std::string folder = addinFolderOf(options);
    const std::string library = options.library.empty() ? programFolder() + "/libtelm.so" : options.library;
    try {
        companion_ = host::companion::Companion::open(app_, absolute(folder), library);
    } catch (const RuntimeError& e) {
        throw TelmFailure("starting the add-in: " + e.description());
    }
    if (app_->quitRequested())
        throw TelmFailure("starting the add-in: it could not start and asked the application to quit "
                          "(is the current folder readable?)");
    // An error that follows a refused dialog is that refusal's consequence, not its cause.
    companion_->setUnhandledErrorHandler([this](const RuntimeError& e) {
        if (!unhandled_ && !dialogs_->refused()) unhandled_ = e;
    });
    status_.stepEnded();
    if (auto refused = dialogs_->takeRefusal()) throw TelmFailure("starting the add-in: " + *refused);
    for (const auto& book : options.workbooks) {
        try {
            app_->workbooks().open(absolute(book));
        } catch (const RuntimeError& e) {
            throw TelmFailure("opening " + book + ": " + e.description());
        }
    }
}

TelmSession::~TelmSession() {
    companion_.reset();
    host::ui::setBackend(nullptr);
    host::os::setLauncher(nullptr);
}

host::sheet::WorkbookPtr TelmSession::activeWorkbook() const {
    auto book = app_->activeWorkbook();
    if (!book) throw TelmFailure("no workbook is open (give a workbook file or --new first)");
    return book;
}

host::sheet::RangePtr TelmSession::range(const std::string& address) {
    activeWorkbook();
    try {
        return app_->range(address);
    } catch (const RuntimeError&) {
        throw TelmFailure("'" + address + "' is not a cell reference of an open sheet");
    }
}

void TelmSession::checked(const std::string& what, const std::function<void()>& work) {
    unhandled_.reset();
    app_->takeCommandFailure();
    dialogs_->takeRefusal();
    std::optional<std::string> error;
    try {
        work();
    } catch (const TelmFailure& e) {
        error = e.what();
    } catch (const RuntimeError& e) {
        error = e.description();
    }
    status_.stepEnded();
    if (host::os::interruptRequested()) throw TelmInterrupted();
    // A failure comes before the refusal of the box that showed it; a refused dialog comes before
    // what the command made of the refusal.
    if (unhandled_)
        throw TelmFailure(what + ": run-time error " + std::to_string(unhandled_->number()) + ": " +
                          unhandled_->description());
    if (auto refused = dialogs_->takeRefusal()) throw TelmFailure(what + ": " + *refused);
    if (error) throw TelmFailure(what + ": " + *error);
    if (auto noted = app_->takeCommandFailure()) throw TelmFailure(what + ": " + *noted);
}

void TelmSession::runScheduledMacros(const std::string& after) {
    while (waitForNextMacro(*app_)) {
        const std::string macro = app_->nextScheduledMacro()->procedure;
        checked(after + ": the scheduled macro " + macro, [this] { app_->runNextDueMacro(); });
    }
    if (host::os::interruptRequested()) throw TelmInterrupted();
}

std::optional<double> TelmSession::runDueMacrosWhileWaiting() {
    try {
        while (app_->runNextDueMacro()) {
        }
    } catch (const RuntimeError& e) {
        if (!unhandled_) unhandled_ = e;  // fails the step that waited
    }
    return secondsUntilNextMacro(*app_);
}

void TelmSession::runSteps(const std::vector<Step>& steps) {
    runScheduledMacros("starting the add-in");
    for (const Step& step : steps) {
        checked(stepText(step), [&] {
            runStep(step);
            reportUnknownFunctions();
        });
        runScheduledMacros(stepText(step));
    }
    for (const auto& macro : app_->scheduledMacros())
        err_ << "telm: the macro " << macro.procedure << " was scheduled for later than telm waits ("
             << kMacroWaitBound << " s) and did not run\n";
}

void TelmSession::reportUnknownFunctions() {
    std::string names;
    for (const auto& name : app_->calculator().takeUnknownFunctions())
        if (reportedFunctions_.insert(name).second) names += (names.empty() ? "" : ", ") + name;
    if (!names.empty())
        err_ << "telm: functions not available here, not calculated (their cells keep the values stored in the file): "
             << names << "\n";
}

void TelmSession::runStep(const Step& step) {
    using Kind = Step::Kind;
    switch (step.kind) {
    case Kind::New: app_->workbooks().add(); break;
    case Kind::Select: range(step.argument)->select(); break;
    case Kind::Sheet: {
        auto book = activeWorkbook();
        auto sheet = book->findSheet(step.argument);
        if (!sheet) throw TelmFailure("no sheet of that name in " + book->name() + " (it has " + sheetNames(*book) + ")");
        sheet->activate();
        break;
    }
    case Kind::Book: {
        auto book = app_->workbooks().find(step.argument);
        if (!book) throw TelmFailure("no open workbook of that name");
        book->activate();
        break;
    }
    case Kind::Run: app_->run(step.argument); break;
    case Kind::Set: {
        const auto eq = step.argument.find('=');
        range(step.argument.substr(0, eq))->setFormula(step.argument.substr(eq + 1));
        break;
    }
    case Kind::Calculate: app_->calculate(); break;
    case Kind::CalculateSheet: activeWorkbook()->activeSheet()->calculate(); break;
    case Kind::Refresh: refreshAll(); break;
    case Kind::Print: print(step.argument, false); break;
    case Kind::PrintFormulas: print(step.argument, true); break;
    case Kind::Save: activeWorkbook()->save(); break;
    case Kind::SaveAs: activeWorkbook()->saveAs(absolute(step.argument)); break;
    case Kind::Eval: eval(step.argument); break;
    case Kind::Copy: range(step.argument)->copy(); break;
    case Kind::Menus: printInstalledCommands(app_->commandBars(), out_); break;
    }
}

void TelmSession::refreshAll() {
    for (const auto& sheet : activeWorkbook()->worksheets()) {
        for (const auto& table : sheet->queryTables()) host::ado::refreshQueryTable(*sheet, *table);
        for (const auto& table : sheet->pivotTables()) host::ado::refreshPivotTable(*sheet, *table);
    }
}

void TelmSession::print(const std::string& rangeText, bool formulas) {
    auto cells = range(rangeText);
    printRows(out_, cells->rowCount(), cells->columnCount(), [&](long r, long c) {
        auto cell = cells->cells(static_cast<int>(r), static_cast<int>(c));
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
