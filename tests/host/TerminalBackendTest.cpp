#include <gtest/gtest.h>

#include <sstream>

#include "host/ui/Dialogs.h"
#include "host/ui/Form.h"
#include "host/ui/TerminalBackend.h"

using namespace host::ui;

namespace {

struct Terminal {
    std::istringstream in;
    std::ostringstream out;
    TerminalBackend backend{in, out};
    explicit Terminal(const std::string& typed = "") : in(typed) {}
};

}  // namespace

TEST(TerminalBackendTest, MessageBoxesTakeNamesNumbersAndDefaults) {
    Terminal t("maybe\nno\n\n");
    EXPECT_EQ(t.backend.messageBox({"Save?", "Title", vbYesNoCancel}), vbNo);  // asked again after "maybe"
    EXPECT_NE(t.out.str().find("Answer one of: Yes/No/Cancel"), std::string::npos);
    EXPECT_EQ(t.backend.messageBox({"Sure?", "", vbYesNo + vbDefaultButton2}), vbNo);  // empty line: default
    EXPECT_EQ(t.backend.messageBox({"Done.", "", vbOKOnly}), vbOK);                    // end of input: default
    t.backend.giveAnswer("6");
    EXPECT_EQ(t.backend.messageBox({"Again?", "", vbYesNo}), vbYes);  // given in advance, before reading
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
