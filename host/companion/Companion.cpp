#include "host/companion/Companion.h"

#include <dlfcn.h>

#include <filesystem>
#include <new>
#include <type_traits>

#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/odbc/ConnectionPool.h"
#include "host/ui/Dialogs.h"

namespace host::companion {

namespace {

constexpr int kCannotCreateObject = 429;

// Worksheet functions the companion add-in declares, and the member each one calls.
struct FunctionEntry {
    const char* name;
    const char* member;
};
constexpr FunctionEntry kFunctions[] = {
    {"GETDATA", "GETDATA"},         {"DANE", "GETDATA"},
    {"GETDATAOLAP", "GETDATAOLAP"}, {"GETDATAOLAPuni", "GETDATAOLAPuni"},
    {"GETDATAODBC", "GETDATAODBC"}, {"GETDATALINK", "GETDATALINK"},
    {"GETTRANSLATION", "GETTRANSLATION"}, {"VALUE2STRING", "VALUE2STRING"},
    {"TEST", "TEST"},
};

// A run-time error that reaches the companion's own code unhandled: the host program hears of it,
// then the runtime shows it in a box (which a host program may refuse to show unanswered).
void showUnhandled(const RuntimeError& e, const std::function<void(const RuntimeError&)>& handler) {
    if (handler) handler(e);
    ui::MsgBox("Run-time error '" + std::to_string(e.number()) + "':\n\n" + e.description(), ui::vbCritical,
               kWorkbookName);
}

// Runs the add-in's code: what it leaves unhandled is shown as its run-time error, running out of
// memory as error 7, so that no command or event ends the program. Gives the code's result, or an
// empty one when it failed.
template <class Work>
auto trapped(const Work& work, const std::function<void(const RuntimeError&)>& handler) -> decltype(work()) {
    try {
        return work();
    } catch (const RuntimeError& e) {
        showUnhandled(e, handler);
    } catch (const std::bad_alloc&) {
        showUnhandled(RuntimeError(err::OutOfMemory), handler);
    }
    if constexpr (!std::is_void_v<decltype(work())>) return {};
}

}  // namespace

std::unique_ptr<Companion> Companion::open(const std::shared_ptr<sheet::Application>& application,
                                           const std::string& addinFolder, const std::string& libraryPath) {
    void* library = dlopen(nativePath(libraryPath).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        throw RuntimeError(kCannotCreateObject,
                           "Cannot load the add-in library '" + libraryPath + "': " + (why ? why : "unknown reason"));
    }
    std::unique_ptr<Companion> companion(new Companion(application, library));

    // The companion workbook's file when the folder has one and files can be read, else a new one.
    const std::string file = nativePath(addinFolder) + "/" + kWorkbookName;
    auto* store = application->workbookStore();
    auto book = store && std::filesystem::exists(file) ? store->open(*application, file)
                                                       : std::make_shared<sheet::Workbook>(application, kWorkbookName);
    book->isAddin = true;
    application->workbooks().attach(book);
    book->setLocation(nativePath(addinFolder), kWorkbookName);
    book->saved = true;
    application->setThisWorkbook(book);
    companion->workbook_ = book;
    if (book->sheetCount() == 0) book->addSheet();

    auto create = reinterpret_cast<CreateObjectEntry>(dlsym(library, kCreateObjectEntry));
    if (!create || create(kProgId, &companion->publicClass_) != 0 || !companion->publicClass_)
        throw RuntimeError(kCannotCreateObject, "The add-in library '" + libraryPath + "' gives no " + kProgId + ".");

    *companion->reachable_ = companion->publicClass_;
    companion->publicClass_->setProperty("app", Variant(application));
    companion->publicClass_->setProperty("books", Variant(application->workbooksObject()));
    std::vector<Variant> none;
    companion->publicClass_->invoke("TELMStart", none);
    companion->registerFunctions();
    companion->registerMacrosAndEvents();
    return companion;
}

Companion::Companion(std::shared_ptr<sheet::Application> application, void* library)
    : application_(std::move(application)), library_(library) {}

Companion::~Companion() { close(); }

void Companion::registerFunctions() {
    auto target = reachable_;
    for (const FunctionEntry& f : kFunctions) {
        const std::string member = f.member;
        application_->registerFunction(f.name, [target, member](std::vector<Variant>& arguments) -> Variant {
            DispatchPtr cls = *target;
            if (!cls) return CellError::Name;  // the add-in is closed
            if (member != "GETDATA") return cls->invoke(member, arguments);
            // GETDATA takes its arguments as one parameter array.
            std::vector<Variant> list{Variant(Array::vector(std::move(arguments), 0))};
            return cls->invoke(member, list);
        });
    }
}

namespace {

// The companion's login dialog: "Login" asks for the user name and then the password in two input
// boxes (an empty or cancelled answer ends it with both empty); "GetLoginU" and "GetLoginP" give
// the answers.
void registerLoginMacros(sheet::Application& application) {
    auto answers = std::make_shared<std::pair<std::string, std::string>>();
    application.registerMacro("Login", [answers](std::vector<Variant>& a) -> Variant {
        auto text = [&a](std::size_t i) { return i < a.size() ? a[i].toString() : std::string(); };
        const std::string title = text(0);
        *answers = {};
        const std::string user = ui::InputBox(text(1) + "\n" + text(2) + "\n\n" + text(3), title);
        if (user.empty()) return Variant();
        const std::string password = ui::PasswordBox(text(1) + "\n" + text(2) + "\n\n" + text(4), title);
        if (!password.empty()) *answers = {user, password};
        return Variant();
    });
    application.registerMacro("GetLoginU", [answers](std::vector<Variant>&) -> Variant { return answers->first; });
    application.registerMacro("GetLoginP", [answers](std::vector<Variant>&) -> Variant { return answers->second; });
}

}  // namespace

void Companion::registerMacrosAndEvents() {
    registerLoginMacros(*application_);
    auto target = reachable_;
    // A command's macro name runs the member "Public" + that name.
    auto unhandled = unhandled_;
    application_->setMacroResolver(
        [target, unhandled](const std::string& name, std::vector<Variant>& arguments) -> std::optional<Variant> {
            DispatchPtr cls = *target;
            if (!cls || !cls->hasMember("Public" + name)) return std::nullopt;
            return trapped([&] { return cls->invoke("Public" + name, arguments); }, *unhandled);
        });
    auto forward = [target, unhandled](const char* member) {
        return [target, unhandled, member](auto&&...) {
            DispatchPtr cls = *target;
            if (!cls) return;
            std::vector<Variant> none;
            trapped([&] { cls->invoke(member, none); }, *unhandled);
        };
    };
    application_->addSheetCalculateHandler(forward("PublicOnSheetCalculate"));
    application_->addSheetChangeHandler(forward("PublicOnSheetChange"));
    application_->addWorkbookActivateHandler(forward("PublicOnWorkbookActivate"));
}

void Companion::close() {
    if (publicClass_) {
        std::vector<Variant> none;
        trapped([&] { publicClass_->invoke("PublicZamykanie", none); }, *unhandled_);
        reachable_->reset();
        publicClass_.reset();  // the last reference: the class's terminator runs
        application_->setMacroResolver(nullptr);
        ado::clearConnectionPool();
    }
    if (workbook_) {
        workbook_->close();
        workbook_.reset();
    }
    if (library_) {
        auto canUnload = reinterpret_cast<CanUnloadNowEntry>(dlsym(library_, kCanUnloadNowEntry));
        if (!canUnload || canUnload()) dlclose(library_);
        library_ = nullptr;
    }
}

}  // namespace host::companion
