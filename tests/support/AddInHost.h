#pragma once
// A host application with the companion add-in opened on a temporary add-in folder that holds the
// add-in's toolbar file: the add-in as a user starts it.

#include <memory>
#include <string>

#include "core/A_Deklaracje.h"
#include "host/companion/Companion.h"
#include "host/sheet/Application.h"
#include "host/sheet/CommandBars.h"
#include "host/sheet/ToolbarFile.h"
#include "host/ui/ScriptedBackend.h"
#include "support/TempFolder.h"

namespace testsupport {

// Writes the add-in's toolbar file: toolbar "TELM" with its seven buttons.
inline void writeToolbarFile(const std::string& path) {
    host::sheet::CommandBars bars;
    auto toolbar = bars.add("TELM");
    for (int i = 1; i <= 7; ++i) toolbar->controls()->add()->setFaceId(i);
    toolbar->setVisible(true);
    host::sheet::saveToolbars(bars, {"TELM"}, path);
}

struct AddInHost {
    TempFolder folder{"telm-addin"};
    std::shared_ptr<host::sheet::Application> app = host::sheet::Application::create();
    std::unique_ptr<host::companion::Companion> companion;
    host::ui::ScriptedBackend& dialogs = host::ui::resetScriptedBackend();

    explicit AddInHost(int countryCode = 1, const std::string& version = "16.0", bool withToolbarFile = true) {
        telm::ResetSharedState();
        app->countryCode = countryCode;
        app->version = version;
        if (withToolbarFile) writeToolbarFile(folder.file("TELM.NET.CommandBars.xlb"));
    }
    ~AddInHost() {
        companion.reset();
        telm::ResetSharedState();
        host::ui::resetScriptedBackend();
    }

    // Opens the companion add-in, which starts the add-in.
    void start() { companion = host::companion::Companion::open(app, folder.string(), TELM_ADDIN_LIBRARY); }
};

}  // namespace testsupport
