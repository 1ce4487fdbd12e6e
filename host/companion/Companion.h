#pragma once
// The companion add-in "TELM.NET.xla": the workbook whose folder is the add-in folder. It loads the
// add-in library, creates its public class, hands it the application and its workbooks, starts it,
// and from then on forwards to it the worksheet functions, the commands (a macro name reaches the
// member "Public" + that name), the timers and the events.

#include <functional>
#include <memory>
#include <string>

#include "host/base/Dispatch.h"
#include "host/base/RuntimeError.h"
#include "host/sheet/Application.h"

namespace host::companion {

inline constexpr const char* kWorkbookName = "TELM.NET.xla";
inline constexpr const char* kProgId = "TELM.clsTELMPublicClass";

class Companion {
public:
    // Opens the companion workbook in the add-in folder and starts the add-in from the library file.
    // Raises 429 when the library cannot be loaded or gives no public class.
    static std::unique_ptr<Companion> open(const std::shared_ptr<sheet::Application>& application,
                                           const std::string& addinFolder, const std::string& libraryPath);
    ~Companion();
    Companion(const Companion&) = delete;
    Companion& operator=(const Companion&) = delete;

    // Closes the companion add-in: tells the add-in it is closing, releases the public class (which
    // runs its terminator), empties the connection pool, closes the workbook and unloads the library
    // when nothing of it is alive.
    void close();

    // Called, before the box that shows it, for a run-time error which reached the companion's own
    // code unhandled (a command or an event that failed), so that a host program can tell a failed
    // command from one that succeeded.
    void setUnhandledErrorHandler(std::function<void(const RuntimeError&)> handler) { *unhandled_ = std::move(handler); }

    const DispatchPtr& publicClass() const { return publicClass_; }
    const sheet::WorkbookPtr& workbook() const { return workbook_; }

private:
    Companion(std::shared_ptr<sheet::Application> application, void* library);
    void registerFunctions();
    void registerMacrosAndEvents();

    std::shared_ptr<sheet::Application> application_;
    void* library_;
    sheet::WorkbookPtr workbook_;
    DispatchPtr publicClass_;
    // The public class as the registered functions, macros and events reach it: empty once the
    // companion is closed. The holder is made here, not in the library, so that the application may
    // outlive the unloaded library.
    std::shared_ptr<DispatchPtr> reachable_ = std::make_shared<DispatchPtr>();
    using UnhandledErrorHandler = std::function<void(const RuntimeError&)>;
    std::shared_ptr<UnhandledErrorHandler> unhandled_ = std::make_shared<UnhandledErrorHandler>();
};

}  // namespace host::companion
