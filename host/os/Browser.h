#pragma once
// A hidden web browser that loads one page at a time and gives the text of its body after the page's
// scripts ran. Pages are loaded by headless Chromium (the program "chromium" on the PATH), one
// process per navigation, with a profile folder of the browser object's own that is removed with it.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace host::os {

class Browser {
public:
    enum ReadyState { Uninitialized = 0, Loading = 1, Complete = 4 };

    // Raises RuntimeError 429 when no profile folder can be made.
    Browser();
    // Ends a load that still runs and removes the profile folder.
    ~Browser();
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // Starts loading the address (ending any load still running). Raises RuntimeError 429 when the
    // browser program cannot be started.
    void navigate(std::string_view url);
    // Waits a moment for the running load and tells how far it is: Complete once the browser has
    // finished, whether the page loaded or not.
    ReadyState readyState();
    // The text of the loaded page's body: its text without markup, scripts and styles, a line break
    // for <br> and after each block. Raises RuntimeError 1004 when no page has loaded (still
    // loading, nothing navigated, or a load that failed: the browser gave no page at all).
    std::string bodyText() const;
    // True when the last load is complete and gave no page.
    bool loadFailed() const;

private:
    void endLoad();

    std::string profileFolder_;
    pid_t child_ = -1;
    int output_ = -1;
    std::string dom_;
    ReadyState state_ = Uninitialized;
};

// The text of an HTML document's body, as Browser::bodyText gives it.
std::string BodyTextOfHtml(std::string_view html);

}  // namespace host::os
