// The general commands run by their macro names through the companion add-in, as menu entries,
// toolbar buttons and shortcut keys run them.

#include <gtest/gtest.h>

#include <filesystem>

#include "../host/MemoryLimit.h"
#include "CommandHost.h"
#include "host/XlsxTestSupport.h"
#include "commands/P_Ogolne.h"
#include "host/base/Path.h"
#include "host/os/Launcher.h"
#include "host/ui/Form.h"

using host::Variant;
using host::ui::DialogKind;
using namespace host::ui;

namespace {

struct GeneralCommands : ::testing::Test {
    testsupport::CommandHost host;
};

}  // namespace

TEST_F(GeneralCommands, AboutBoxAndShortcutListFollowTheLanguage) {
    host.run("InfoAbout");
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    EXPECT_EQ(host.lastDialog().kind, DialogKind::Form);
    EXPECT_EQ(host.lastDialog().formName, "pInfo2");
    EXPECT_EQ(host.lastDialog().title, "TELM.NET - info about");
    EXPECT_EQ(host.lastDialog().control("Label1"), "TELM.NET System\nfor Microsoft Office Excel");

    host.run("SwitchLanguage");
    host.dialogs.actOnForm([](Form& f) { f.control<CommandButton>("CommandButton1").click(); });
    host.run("InfoAbout");
    EXPECT_EQ(host.lastDialog().title, "TELM.NET - informacje");
    EXPECT_EQ(host.dialogs.pendingAnswers(), 0u);

    EXPECT_TRUE(host.run("ShowShortcuts").isEmpty());
    const auto& shortcuts = host.lastDialog();
    EXPECT_EQ(shortcuts.formName, "pSkroty");
    EXPECT_EQ(shortcuts.title, "TELM.NET - Lista skrótów klawiszowych Excela");
    EXPECT_EQ(shortcuts.control("Page4"), "TELM.NET");
    EXPECT_EQ(shortcuts.control("Heading1_1"), "Przeliczanie:");
    EXPECT_TRUE(shortcuts.control("Text4_1").starts_with("[Ctrl+Shift+Alt+K] – Uaktywnienie")) << shortcuts.control("Text4_1");
    EXPECT_TRUE(shortcuts.control("Text9_2").starts_with("[Alt+Shift+strzałka_w_prawo] – Degradowanie"));
    EXPECT_EQ(shortcuts.control("CommandButton1"), "Zamknij");
}

TEST_F(GeneralCommands, NumberFormatPasteValuesAndFormulaResults) {
    host.cell("A1")->setValue(1234.5);
    host.cell("B1")->setFormula("=A1*2");
    host.cell("A2")->setFormula("'=not a formula");
    host.cell("A1:B1")->select();
    host.run("NumberFormat");
    EXPECT_EQ(host.cell("A1")->text(), "1,234.50");
    EXPECT_EQ(host.cell("B1")->numberFormat(), "#,##0.00");

    // Copy, then paste values into one cell: the copied size, constants only, texts stay texts.
    host.cell("A1:B2")->copy();
    host.cell("D5")->select();
    host.run("PasteSpecialOnlyValues");
    EXPECT_EQ(host.cell("D5:E6")->value2(), host.cell("A1:B2")->value2());
    EXPECT_EQ(host.cell("E5")->hasFormula(), Variant(false));
    EXPECT_EQ(host.cell("D6")->value(), Variant("=not a formula"));
    EXPECT_EQ(host.cell("D5")->numberFormat(), "General");
    // A selection twice the copied height takes it twice; the old contents go.
    host.cell("H4")->setValue("old");
    host.cell("G3:H6")->select();
    host.run("PasteSpecialOnlyValues");
    EXPECT_EQ(host.cell("G5")->value(), Variant(1234.5));
    EXPECT_TRUE(host.cell("H4")->value().isEmpty());
    // Nothing on the clipboard: nothing happens, nothing is said.
    host.app->setClipboardRange(nullptr);
    host.cell("J1")->select();
    host.run("PasteSpecialOnlyValues");
    EXPECT_TRUE(host.cell("J1")->value().isEmpty());
    EXPECT_TRUE(host.dialogs.record().empty());

    // F2 and F9: the active cell's formula evaluated in the edit line.
    host.cell("B1")->select();
    host.run("PrzeliczFormule");
    EXPECT_EQ(host.app->sentKeys().back(), "{F2}{F9}");
    EXPECT_EQ(host.app->editLine(), std::optional<std::string>("=2469"));
    // The result in a message box.
    host.run("PrzeliczFormule2");
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    EXPECT_EQ(host.lastDialog().prompt, "2469");
    EXPECT_EQ(host.lastDialog().buttons, vbInformation);
    EXPECT_EQ(host.lastDialog().title, "TELM.NET");
}

TEST_F(GeneralCommands, ErrorReportingLevelIsAskedUntilTheAnswerFits) {
    auto& s = telm::SharedState();
    host.dialogs.answerInput("7").answerInput("two").answerInput(" 3 ");
    host.run("SwithErrorReportingLevel");
    EXPECT_EQ(s.ErrorReportingLevel, 3);
    ASSERT_EQ(host.dialogs.record().size(), 3u);
    EXPECT_EQ(host.dialogs.record()[0].title, "TELM.NET - Settings");
    EXPECT_EQ(host.dialogs.record()[0].prompt.substr(0, 31), "Set the error reporting level:\n");
    EXPECT_EQ(host.dialogs.record()[0].initialText, "1");
    // A cancel, or an empty answer after a wrong one, changes nothing.
    host.run("SwithErrorReportingLevel");
    host.dialogs.answerInput("2.5").answerInput("");
    host.run("SwithErrorReportingLevel");
    EXPECT_EQ(s.ErrorReportingLevel, 3);

    host.dialogs.answerInput("x").answerInput("5");
    host.run("ZmienpvErrorReportingWay");
    EXPECT_EQ(s.pvErrorReportingWay, Variant::integer(5));
    EXPECT_EQ(s.pvErrorReportingWay.type(), host::VarType::Integer);
    host.run("ZmienpvErrorReportingWay");
    EXPECT_EQ(s.pvErrorReportingWay, Variant::integer(5));
}

TEST_F(GeneralCommands, WebPagesOpenWithTheDesktop) {
    host::os::clearLaunches();
    host.run("OpenHelp");
    host.run("OpenInternetSample");
    const std::vector<host::os::Launch> expected{{host::os::LaunchKind::Document, telm::kHelpPageAddress},
                                                 {host::os::LaunchKind::Document, telm::kSamplesPageAddress}};
    EXPECT_EQ(host::os::launches(), expected);
}

TEST_F(GeneralCommands, ChosenFolderAndFileGoIntoTheActiveCell) {
    const std::string folder = host.folder.string();
    host.dialogs.answerPath(folder);
    host.run("BrowseForFolder");
    EXPECT_EQ(host.cell("A1")->value(), Variant(folder + "/"));
    host.cell("A2")->select();
    host.dialogs.answerPath("/data/=1+1 12.xlsx");
    host.run("BrowseForFile");
    EXPECT_EQ(host.cell("A2")->value(), Variant("/data/=1+1 12.xlsx"));
    EXPECT_EQ(host.lastDialog().title, "TELM.NET - Parametrization");
    host.cell("A3")->select();
    host.run("BrowseForFile");  // cancelled
    host.run("BrowseForFolder");
    EXPECT_TRUE(host.cell("A3")->value().isEmpty());
}

TEST_F(GeneralCommands, SamplesAndTemplatesOpenFromTheAddInFolder) {
    namespace fs = std::filesystem;
    fs::create_directories(host.folder.path() / "Samples");
    auto sample = host.app->workbooks().add();
    sample->sheet(1)->range("A1")->setValue("start here");
    sample->saveAs((host.folder.path() / "Samples" / "Start.xlsx").string());
    sample->close();
    const std::string before = host::currentDirectory();

    host.dialogs.answerPath("Start.xlsx");  // chosen in the folder the dialog starts in
    host.run("OpenSample");
    auto opened = host.app->workbooks().find("Start.xlsx");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->sheet(1)->range("A1")->value(), Variant("start here"));
    EXPECT_EQ(host::currentDirectory(), before);

    // No "Templates" folder: the command reports the failure.
    host.dialogs.reset();
    host.run("OpenTemplate");
    ASSERT_EQ(host.dialogs.record().size(), 1u);
    EXPECT_EQ(host.lastDialog().prompt.substr(0, 18), "Unexpected error: ");
    EXPECT_EQ(host::currentDirectory(), before);
}

TEST_F(GeneralCommands, AWorkbookTooLargeForMemoryFailsTheCommandAndTheSessionGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "under AddressSanitizer an allocation that cannot be made aborts instead of throwing";
#endif
    namespace fs = std::filesystem;
    const fs::path samples = host.folder.path() / "Samples";
    fs::create_directories(samples);
    auto sample = host.app->workbooks().add();
    sample->sheet(1)->range("A1")->setValue("start here");
    sample->saveAs((samples / "Start.xlsx").string());
    sample->close();
    // A small file whose one cell holds a text of 600 MB.
    xlsxtest::runPython(host.folder.string(), R"PY(
import sys, zipfile
main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
pkg = "http://schemas.openxmlformats.org/package/2006/relationships"
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("[Content_Types].xml", '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/>'
        '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
        '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>')
    z.writestr("_rels/.rels", f'<Relationships xmlns="{pkg}"><Relationship Id="rId1" Type="{rel}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    z.writestr("xl/workbook.xml", f'<workbook xmlns="{main}" xmlns:r="{rel}"><sheets><sheet name="Big" sheetId="1" r:id="rId1"/></sheets></workbook>')
    z.writestr("xl/_rels/workbook.xml.rels", f'<Relationships xmlns="{pkg}"><Relationship Id="rId1" Type="{rel}/worksheet" Target="worksheets/sheet1.xml"/></Relationships>')
    with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as sheet:
        sheet.write(f'<worksheet xmlns="{main}"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>'.encode())
        for _ in range(600):
            sheet.write(b"x" * (1 << 20))
        sheet.write(b"</t></is></c></row></sheetData></worksheet>")
)PY", (samples / "Huge.xlsx").string());

    const std::string outcome = memtest::runWithMemoryLimit(300, [&]() -> std::string {
        host.dialogs.answerPath("Huge.xlsx");
        host.run("OpenSample");
        if (host.dialogs.record().size() != 2 || host.lastDialog().prompt.find("Out of memory") == std::string::npos)
            return "no message: " + (host.dialogs.record().empty() ? std::string() : host.lastDialog().prompt);
        if (host.app->workbooks().find("Huge.xlsx")) return "a part of the file was opened";
        host.dialogs.answerPath("Start.xlsx");
        host.run("OpenSample");
        auto opened = host.app->workbooks().find("Start.xlsx");
        return opened && opened->sheet(1)->range("A1")->value() == Variant("start here") ? "" : "the next command failed";
    });
    EXPECT_EQ(outcome, "");
}
