#pragma once
// The companion add-in "TELM.NET.xla": the workbook whose folder is the add-in folder. It loads the
// add-in library, creates its public class, hands it the application and its workbooks, starts it,
// and from then on forwards to it the worksheet functions, the commands (a macro name reaches the
// member "Public" + that name), the timers and the events.

#include <memory>
#include <string>

#include "host/base/Dispatch.h"
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
    // runs its terminator), closes the workbook and unloads the library when nothing of it is alive.
    void close();

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
};

}  // namespace host::companion
