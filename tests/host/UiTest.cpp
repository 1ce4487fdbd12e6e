#include <gtest/gtest.h>

#include "support/Errors.h"

#include "host/base/RuntimeError.h"
#include "host/ui/Dialogs.h"
#include "host/ui/Form.h"
#include "host/ui/ScriptedBackend.h"
#include "host/ui/Secrets.h"

using namespace host;
using namespace host::ui;

using testsupport::errorNumberOf;

namespace {

class UiTest : public ::testing::Test {
protected:
    ScriptedBackend& user = resetScriptedBackend();
};

// A form as the add-in builds them: a two-column list of sources, a detail box filled by the list's
// Change handler, OK (default) and Cancel buttons whose handlers hide the form.
class SourceChooser : public Form {
public:
    Label& info = add<Label>("lblInfo");
    ListBox& sources = add<ListBox>("lstSources");
    TextBox& detail = add<TextBox>("txtDetail");
    CommandButton& ok = add<CommandButton>("cmdOK");
    CommandButton& cancel = add<CommandButton>("cmdCancel");
    bool accepted = false;
    int changes = 0;

    SourceChooser() : Form("fChooser", "Data sources") {
        info.setCaption("Choose a source");
        ok.setCaption("OK");
        cancel.setCaption("Cancel");
        sources.setColumnCount(2);
        for (const char* name : {"Sales", "Stock", "Staff"}) sources.addItem(name);
        for (int row = 0; row < sources.listCount(); ++row) sources.setList(row, 1, "db" + std::to_string(row + 1));
        sources.onChange = [this] {
            ++changes;
            detail.setText(sources.listIndex() < 0 ? "" : sources.list(sources.listIndex(), 1));
        };
        ok.setDefault(true);
        ok.onClick = [this] {
            accepted = true;
            hide();
        };
        cancel.setCancel(true);
        cancel.onClick = [this] { hide(); };
    }
};

}  // namespace

TEST_F(UiTest, MessageBoxButtonSetsAndDefaultAnswers) {
    EXPECT_EQ(buttonAnswers(vbAbortRetryIgnore), (std::vector<int>{vbAbort, vbRetry, vbIgnore}));
    EXPECT_EQ(buttonAnswers(vbYesNoCancel | vbQuestion), (std::vector<int>{vbYes, vbNo, vbCancel}));
    EXPECT_EQ(buttonAnswers(vbRetryCancel), (std::vector<int>{vbRetry, vbCancel}));

    // Without a queued answer the default button answers; a default beyond the buttons is the first.
    EXPECT_EQ(MsgBox("Continue?", vbYesNo | vbQuestion), vbYes);
    EXPECT_EQ(MsgBox("Continue?", vbYesNo | vbQuestion | vbDefaultButton2), vbNo);
    EXPECT_EQ(MsgBox("Save?", vbYesNoCancel | vbDefaultButton3), vbCancel);
    EXPECT_EQ(MsgBox("Done", vbOKOnly | vbInformation | vbDefaultButton3), vbOK);
    EXPECT_EQ(user.record().size(), 4u);
    EXPECT_FALSE(user.record()[0].answered);

    // An unknown button set fails before anything is shown.
    EXPECT_EQ(errorNumberOf([] { MsgBox("x", 6); }), err::InvalidProcedureCall);
    EXPECT_EQ(user.record().size(), 4u);
}

TEST_F(UiTest, QueuedAnswersAreTakenInOrderAndMustFit) {
    user.answerMessage(vbNo).answerInput("Kowalski").answerMessage(vbRetry);
    EXPECT_EQ(MsgBox("Overwrite?", vbYesNo), vbNo);
    EXPECT_EQ(InputBox("Name?"), "Kowalski");
    EXPECT_EQ(MsgBox("Failed", vbRetryCancel), vbRetry);
    EXPECT_EQ(user.pendingAnswers(), 0u);
    EXPECT_TRUE(user.record()[2].answered);

    // A script that does not fit what the code shows stops the test instead of answering something.
    user.answerInput("text");
    EXPECT_THROW(MsgBox("Sure?", vbYesNo), ScriptMismatch);
    user.reset();
    user.answerMessage(vbCancel);
    EXPECT_THROW(MsgBox("Sure?", vbYesNo), ScriptMismatch);
}

TEST_F(UiTest, RecordKeepsWhatWasShown) {
    user.answerMessage(vbOK);
    MsgBox("First line\r\nsecond\rthird\nfourth", vbOKCancel | vbExclamation, "Warning");
    InputBox("Year:", "Archive", "2024");
    const ShownDialog& box = user.record()[0];
    EXPECT_EQ(box.kind, DialogKind::MessageBox);
    EXPECT_EQ(box.title, "Warning");
    EXPECT_EQ(box.prompt, "First line\nsecond\nthird\nfourth");
    EXPECT_EQ(box.buttons, vbOKCancel | vbExclamation);
    EXPECT_TRUE(box.answered);
    const ShownDialog& input = user.record()[1];
    EXPECT_EQ(input.kind, DialogKind::InputBox);
    EXPECT_EQ(input.initialText, "2024");
    EXPECT_FALSE(input.answered);

    user.reset();
    EXPECT_TRUE(user.record().empty());
}

TEST_F(UiTest, InputBoxCancelAndEmptyEntry) {
    user.cancelInput().answerInput("");
    EXPECT_EQ(InputBox("Name?"), "");
    EXPECT_EQ(InputBox("Name?"), "");
    EXPECT_EQ(InputBox("Name?"), "");  // nobody answers: cancelled

    // The spreadsheet's input box tells a cancel from an empty entry.
    user.cancelInput().answerInput("");
    EXPECT_EQ(ApplicationInputBox("Name?"), Variant(false));
    EXPECT_EQ(ApplicationInputBox("Name?"), Variant(""));
    EXPECT_EQ(ApplicationInputBox("Name?"), Variant(false));
}

TEST_F(UiTest, ApplicationInputBoxConvertsAndRefusesEntries) {
    user.answerInput(" 1,234.5 ").answerInput("yes").answerMessage(vbOK).answerInput("False");
    EXPECT_EQ(ApplicationInputBox("Amount", "", Variant(5), 1), Variant(1234.5));
    EXPECT_EQ(user.record()[0].initialText, "5");
    EXPECT_EQ(ApplicationInputBox("Flag", "", {}, 4), Variant(false));  // "yes" refused, asked again
    EXPECT_EQ(user.pendingAnswers(), 0u);

    // A refused entry shows a message and stays in the box; the next entry is read again.
    user.reset();
    user.answerInput("abc").answerMessage(vbOK).answerInput("12");
    EXPECT_EQ(ApplicationInputBox("Amount", "Limit", {}, 1), Variant(12.0));
    ASSERT_EQ(user.record().size(), 3u);
    EXPECT_EQ(user.record()[1].kind, DialogKind::MessageBox);
    EXPECT_EQ(user.record()[2].initialText, "abc");

    // Text and number accepted: a number reads as one, anything else stays text.
    user.answerInput("42").answerInput("A1:B2");
    EXPECT_EQ(ApplicationInputBox("Value", "", {}, 1 + 2), Variant(42.0));
    EXPECT_EQ(ApplicationInputBox("Value", "", {}, 1 + 2), Variant("A1:B2"));
}

TEST_F(UiTest, FileAndFolderDialogs) {
    user.answerPath("/data/model.xlsx").cancelPath().answerPaths({"/d/a.txt", "/d/b.txt"});
    EXPECT_EQ(GetOpenFilename("Workbooks (*.xlsx),*.xlsx;*.xls, All files,*.*", "Open model"),
              Variant("/data/model.xlsx"));
    EXPECT_EQ(GetOpenFilename(), Variant(false));
    const Variant many = GetOpenFilename("", "", true);
    ASSERT_TRUE(many.isArray());
    EXPECT_EQ(many.arrayValue().lbound(), 1);
    EXPECT_EQ(many.arrayValue()(2), Variant("/d/b.txt"));
    EXPECT_EQ(user.record()[0].filters,
              (std::vector<FileFilter>{{"Workbooks (*.xlsx)", {"*.xlsx", "*.xls"}}, {"All files", {"*.*"}}}));
    EXPECT_EQ(user.record()[1].filters, (std::vector<FileFilter>{{"All Files (*.*)", {"*.*"}}}));
    EXPECT_EQ(errorNumberOf([] { GetOpenFilename("Workbooks,*.xlsx,Other"); }), err::InvalidArgument);

    user.reset();
    user.answerPath("/out/report.xlsx").answerPath("/archive");
    EXPECT_EQ(GetSaveAsFilename("report.xlsx", "Workbooks,*.xlsx", "Save as"), Variant("/out/report.xlsx"));
    EXPECT_EQ(PickFolder("Archive folder", "/home"), "/archive");
    EXPECT_EQ(GetSaveAsFilename("report.xlsx"), Variant(false));
    EXPECT_EQ(PickFolder("Archive folder", "/home"), "");
    EXPECT_EQ(user.record()[0].initialText, "report.xlsx");
    EXPECT_EQ(user.record()[1].kind, DialogKind::Folder);
    EXPECT_EQ(user.record()[1].initialText, "/home");
    EXPECT_FALSE(user.record()[3].answered);

    user.answerPaths({"/a", "/b"});
    EXPECT_THROW(GetOpenFilename(), ScriptMismatch);
}

TEST_F(UiTest, FormScriptSelectsEntryAndClicksButton) {
    SourceChooser chooser;
    user.actOnForm([](Form& form) {
        auto& list = form.control<ListBox>("lstSources");
        list.setListIndex(1);
        EXPECT_EQ(form.control<TextBox>("txtDetail").text(), "db2");
        form.control<CommandButton>("cmdOK").click();
        EXPECT_FALSE(form.visible());
    });
    chooser.show();
    EXPECT_TRUE(chooser.accepted);
    EXPECT_FALSE(chooser.visible());
    EXPECT_EQ(chooser.changes, 1);
    EXPECT_EQ(chooser.sources.listIndex(), 1);
    EXPECT_EQ(chooser.sources.value(), Variant("Stock"));

    const ShownDialog& shown = user.record().at(0);
    EXPECT_EQ(shown.kind, DialogKind::Form);
    EXPECT_EQ(shown.formName, "fChooser");
    EXPECT_EQ(shown.title, "Data sources");
    EXPECT_EQ(shown.control("lblInfo"), "Choose a source");
    EXPECT_EQ(shown.control("txtDetail"), "");  // as shown, before the user acted
    EXPECT_EQ(shown.controls.at(1).typeName, "ListBox");
    EXPECT_TRUE(shown.answered);
}

TEST_F(UiTest, FormClosedOrLeftByKeyboard) {
    // Nobody answers: the form is closed by its X, untouched.
    SourceChooser chooser;
    bool closed = false;
    chooser.onClose = [&] { closed = true; };
    chooser.show();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(chooser.accepted);
    EXPECT_FALSE(user.record().back().answered);

    // Enter clicks the default button, Escape the cancel button; a disabled button ignores the user.
    user.actOnForm([](Form& form) {
        form.control<CommandButton>("cmdOK").setEnabled(false);
        form.pressEnter();
        EXPECT_TRUE(form.visible());
        form.control<CommandButton>("cmdOK").setEnabled(true);
        form.pressEnter();
    });
    chooser.show();
    EXPECT_TRUE(chooser.accepted);

    chooser.accepted = false;
    user.actOnForm([](Form& form) { form.pressEscape(); });
    chooser.show();
    EXPECT_FALSE(chooser.accepted);
}

TEST_F(UiTest, DialogsFromFormHandlersTakeTheNextAnswers) {
    SourceChooser chooser;
    int answer = 0;
    chooser.ok.onClick = [&] {
        answer = MsgBox("Use " + chooser.sources.text() + "?", vbYesNo);
        if (answer == vbYes) chooser.hide();
    };
    user.actOnForm([](Form& form) {
            auto& list = form.control<ListBox>("LSTSOURCES");  // control names ignore letter case
            list.setValue("Staff");
            form.control<CommandButton>("cmdOK").click();
            EXPECT_TRUE(form.visible());
            form.control<CommandButton>("cmdOK").click();
        })
        .answerMessage(vbNo)
        .answerMessage(vbYes);
    chooser.show();
    EXPECT_EQ(answer, vbYes);
    ASSERT_EQ(user.record().size(), 3u);
    EXPECT_EQ(user.record()[1].prompt, "Use Staff?");

    // Showing a form that is already shown is refused.
    chooser.ok.onClick = [&] { chooser.show(); };
    user.actOnForm([](Form& form) { form.pressEnter(); });
    EXPECT_EQ(errorNumberOf([&] { chooser.show(); }), 400);
    EXPECT_FALSE(chooser.visible());
}

TEST_F(UiTest, MultiColumnLists) {
    Form form("fList");
    auto& list = form.add<ListBox>("lst");
    list.setColumnCount(3);
    Array rows = Array::matrix(2, 3);
    for (long r = 1; r <= 2; ++r) {
        for (long c = 1; c <= 3; ++c) rows(r, c) = Variant(std::to_string(r * 10 + c));
    }
    list.setList(rows);
    EXPECT_EQ(list.listCount(), 2);
    EXPECT_EQ(list.list(1, 2), "23");
    EXPECT_EQ(list.list(1, 9), "");  // a list holds ten columns however many it shows
    EXPECT_EQ(errorNumberOf([&] { list.list(2, 0); }), 381);
    EXPECT_EQ(errorNumberOf([&] { list.list(0, 10); }), 381);

    list.setBoundColumn(2);
    EXPECT_TRUE(list.value().isNull());
    list.setValue("22");
    EXPECT_EQ(list.listIndex(), 1);
    EXPECT_EQ(list.text(), "21");
    EXPECT_EQ(errorNumberOf([&] { list.setValue("99"); }), 380);
    EXPECT_EQ(errorNumberOf([&] { list.setListIndex(2); }), 380);

    // Inserting before the current row keeps it current; removing it leaves no current row.
    int changes = 0;
    list.onChange = [&] { ++changes; };
    list.addItem("first", 0);
    EXPECT_EQ(list.listIndex(), 2);
    EXPECT_EQ(list.value(), Variant("22"));
    list.removeItem(2);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(changes, 1);
    list.clear();
    EXPECT_EQ(list.listCount(), 0);
    EXPECT_EQ(changes, 1);  // nothing was current
}

TEST_F(UiTest, MultiSelectListsAndComboBoxes) {
    Form form("fPick");
    auto& list = form.add<ListBox>("lst");
    for (const char* item : {"a", "b", "c"}) list.addItem(item);
    list.setSelected(2, true);
    EXPECT_TRUE(list.selected(2));
    EXPECT_EQ(list.listIndex(), 2);  // single selection is the current row

    list.setMultiSelect(MultiSelect::Multi);
    int changes = 0;
    list.onChange = [&] { ++changes; };
    list.setSelected(0, true);
    list.setSelected(2, true);
    list.setSelected(2, true);
    EXPECT_TRUE(list.selected(0));
    EXPECT_FALSE(list.selected(1));
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(list.value().isNull());

    auto& combo = form.add<ComboBox>("cbo");
    for (const char* item : {"PLN", "EUR"}) combo.addItem(item);
    combo.setListIndex(1);
    EXPECT_EQ(combo.text(), "EUR");
    combo.setText("PLN");
    EXPECT_EQ(combo.listIndex(), 0);
    combo.setText("USD");
    EXPECT_EQ(combo.listIndex(), -1);
    EXPECT_EQ(combo.value(), Variant("USD"));
    combo.setStyle(ComboStyle::DropDownList);
    EXPECT_EQ(errorNumberOf([&] { combo.setText("GBP"); }), 380);
}

TEST_F(UiTest, TogglesAndFocus) {
    Form form("fOptions");
    auto& monthly = form.add<OptionButton>("optMonthly");
    auto& yearly = form.add<OptionButton>("optYearly");
    auto& other = form.add<OptionButton>("optOther");
    other.setGroupName("second");
    auto& check = form.add<CheckBox>("chkArchive");
    auto& name = form.add<TextBox>("txtName");

    other.setValue(true);
    monthly.click();
    yearly.click();
    EXPECT_FALSE(monthly.value());
    EXPECT_TRUE(yearly.value());
    EXPECT_TRUE(other.value());

    int clicks = 0;
    check.onClick = [&] { ++clicks; };
    check.click();
    check.setValue(true);
    check.setEnabled(false);
    check.click();
    EXPECT_TRUE(check.value());
    EXPECT_EQ(clicks, 1);

    name.setFocus();
    EXPECT_EQ(form.activeControl(), &name);
    EXPECT_EQ(errorNumberOf([&] { form.add<Label>("TXTNAME"); }), err::InvalidProcedureCall);
    EXPECT_EQ(errorNumberOf([&] { form.control("missing"); }), -2147024809);
    EXPECT_EQ(errorNumberOf([&] { form.control<ListBox>("txtName"); }), err::TypeMismatch);
}

TEST_F(UiTest, DialogsGoToTheCurrentBackend) {
    struct AlwaysNo : ScriptedBackend {
        int messageBox(const MessageBoxRequest&) override { return vbNo; }
    };
    auto other = std::make_shared<AlwaysNo>();
    setBackend(other);
    EXPECT_EQ(MsgBox("?", vbYesNo), vbNo);
    InputBox("shown elsewhere");
    EXPECT_EQ(other->record().size(), 1u);
    EXPECT_TRUE(user.record().empty());

    setBackend(nullptr);
    EXPECT_EQ(MsgBox("?", vbYesNo), vbYes);
    EXPECT_EQ(user.record().size(), 1u);
}

TEST(Secrets, PasswordItemsAreMaskedWhateverTheirForm) {
    using host::ui::maskPasswords;
    EXPECT_EQ(maskPasswords("Driver={PostgreSQL Unicode};Server=db;Uid=ann;Pwd=s3cret;"),
              "Driver={PostgreSQL Unicode};Server=db;Uid=ann;Pwd=****;");
    EXPECT_EQ(maskPasswords("DSN=x;PASSWORD = a;b"), "DSN=x;PASSWORD = ****;b");
    EXPECT_EQ(maskPasswords("pwd={a;b}c;x=1"), "pwd=****c;x=1");
    EXPECT_EQ(maskPasswords("Jet OLEDB:Database Password=\"x;y\";Mode=1"), "Jet OLEDB:Database Password=****;Mode=1");
    EXPECT_EQ(maskPasswords("no secrets here"), "no secrets here");
    // A braced value holding "}}" is masked whole, and one never closed to the end.
    EXPECT_EQ(maskPasswords("Uid=a;Pwd={se}}cret-Tail-42};Port=1"), "Uid=a;Pwd=****;Port=1");
    EXPECT_EQ(maskPasswords("Pwd={open;x=1"), "Pwd=****");
    EXPECT_EQ(maskPasswords("Provider=P;Password='a;''b';x=1"), "Provider=P;Password=****;x=1");
    // Words that are no items, and every item of a long text.
    EXPECT_EQ(maskPasswords("password authentication failed; pwd"), "password authentication failed; pwd");
    EXPECT_EQ(maskPasswords("pwd=a\nPWD = b;newpwd=c"), "pwd=****\nPWD = ****;newpwd=****");
    const std::string longValue(25000, 'x');
    EXPECT_EQ(maskPasswords("pwd=" + longValue), "pwd=****");
    EXPECT_EQ(maskPasswords("pwd={" + longValue), "pwd=****");
    EXPECT_EQ(maskPasswords("pwd" + std::string(25000, ' ')), "pwd" + std::string(25000, ' '));
}
