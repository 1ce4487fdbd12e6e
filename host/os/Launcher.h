#pragma once
// Starting programs for the user: opening a document or web address with the program the desktop
// associates with it, and opening a file in a text editor. Every request is recorded, so that tests
// can see what would have been opened; a program is started only when a launcher is set (the
// command-line host sets the desktop launcher). By default nothing is started.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::os {

enum class LaunchKind { Document, Editor };

// One request to start a program.
struct Launch {
    LaunchKind kind = LaunchKind::Document;
    std::string target;  // the file or address as the caller gave it
    friend bool operator==(const Launch&, const Launch&) = default;
};

// Starts the program for a request. Raises RuntimeError when the program cannot be started.
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual void launch(const Launch& request) = 0;
};

// The launcher of a desktop: a file to edit goes to $VISUAL or $EDITOR (the first one set), run in the
// terminal and waited for; documents, addresses, and files to edit when neither is set, go to
// `xdg-open`, given a few seconds to report a failure. Raises 53 when the program is missing, exits
// with a failure or ends on a signal.
std::shared_ptr<Launcher> desktopLauncher();

// Makes `launcher` the one that starts programs; nullptr returns to recording only.
void setLauncher(std::shared_ptr<Launcher> launcher);

// Opens a document (a file path, "\" or "/" between folders) or a web address with its program.
void openDocument(std::string_view target);
// Opens a file in a text editor.
void startEditor(std::string_view file);

// Every request made since the last clearLaunches, in order.
const std::vector<Launch>& launches();
void clearLaunches();

}  // namespace host::os
