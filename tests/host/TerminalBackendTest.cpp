#include <gtest/gtest.h>

#include <sstream>

#include "host/base/RuntimeError.h"
#include "host/ui/Dialogs.h"
#include "host/ui/Form.h"
#include "host/ui/TerminalBackend.h"

using namespace host::ui;

namespace {

// Input that is not a terminal; at its end, dialogs take their defaults.
struct Terminal {
    std::istringstream in;
    std::ostringstream out;
    TerminalBackend backend{in, out};
    explicit Terminal(const std::string& typed = "") : in(typed) { backend.takeDefaults(true); }
};

}  // namespace

TEST(TerminalBackendTest, MessageBoxesTakeNamesNumbersAndDefaults) {
    Terminal t("no\n\n");
    EXPECT_EQ(t.backend.messageBox({"Save?", "Title", vbYesNoCancel}), vbNo);
    EXPECT_EQ(t.backend.messageBox({"Sure?", "", vbYesNo + vbDefaultButton2}), vbNo);  // empty line: default
    EXPECT_EQ(t.backend.messageBox({"Done.", "", vbOKOnly}), vbOK);                    // end of input: default
    t.backend.giveAnswer("6");
    EXPECT_EQ(t.backend.messageBox({"Again?", "", vbYesNo}), vbYes);  // given in advance, before reading
    t.backend.giveAnswer("nie");
    EXPECT_EQ(t.backend.messageBox({"Again?", "", vbYesNo}), vbNo);  // a Polish caption

    // An answer that names no button was meant for another dialog; without defaults, the end of the
    // answers refuses the dialog too. A refusal stops the code that showed the dialog.
    auto refusal = [&t](const std::string& answer, bool takeDefaults) {
        if (!answer.empty()) t.backend.giveAnswer(answer);
        t.backend.takeDefaults(takeDefaults);
        try {
            t.backend.messageBox({"Archive the sheet?\nIt has 3 cells.", "Archive", vbYesNo});
            ADD_FAILURE() << "answered";
        } catch (const host::RuntimeError& e) {
            EXPECT_EQ(e.number(), host::err::UserInterrupt);
        }
        return t.backend.takeRefusal().value_or("");
    };
    EXPECT_NE(refusal("maybe", true).find("'maybe' names no button of the dialog \"Archive: Archive the sheet?\""),
              std::string::npos);
    EXPECT_NE(refusal("", false).find("\"Archive: Archive the sheet?\" got no answer"), std::string::npos);
}

TEST(TerminalBackendTest, InputsAndPaths) {
    Terminal t("\nhello\n\\cancel\n");
    EXPECT_EQ(t.backend.inputBox({"Level?", "", "1"}), "1");  // an empty line keeps the default
    EXPECT_EQ(t.backend.inputBox({"Name?", "", ""}), "hello");
    EXPECT_EQ(t.backend.inputBox({"Name?", "", ""}), std::nullopt);
    EXPECT_EQ(t.backend.pickFolder({"Folder", "/tmp"}), std::nullopt);  // end of input: cancel
    t.backend.giveAnswer("/a.txt;/b.txt");
    EXPECT_EQ(t.backend.openFile({{}, "Open", true}), (std::vector<std::string>{"/a.txt", "/b.txt"}));
}

TEST(TerminalBackendTest, FormActionsSplitAtSemicolonsButNotEscapedOnes) {
    EXPECT_EQ(formActions("A=x\\;y;click B;"), (std::vector<std::string>{"A=x;y", "click B", ""}));
    EXPECT_EQ(formActions("A=C:\\dir\\"), (std::vector<std::string>{"A=C:\\dir\\"}));
}

TEST(TerminalBackendTest, FormsAreWorkedWithActions) {
    Terminal t("Name=Ann; select Items 1\nclick Nothing\nclick OK\n");
    Form form("fTest", "Test form");
    auto& name = form.add<TextBox>("Name");
    auto& items = form.add<ListBox>("Items");
    items.addItem("first");
    items.addItem("second");
    auto& ok = form.add<CommandButton>("OK");
    ok.onClick = [&] { form.hide(); };
    // Shown through the current back-end, as the add-in shows its forms.
    setBackend(std::shared_ptr<Backend>(&t.backend, [](Backend*) {}));
    form.show();
    setBackend(nullptr);
    EXPECT_EQ(name.shownText(), "Ann");
    EXPECT_EQ(items.listIndex(), 1);
    EXPECT_FALSE(form.visible());
    EXPECT_NE(t.out.str().find("1: second"), std::string::npos);
}
