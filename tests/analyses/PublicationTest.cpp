// Publication of a workbook of GETDATA cells to xlsx, spreadsheet XML and a web page, with its stored
// settings, from the panel, and the failures a user meets.

#include <gtest/gtest.h>

#include <filesystem>

#include "AnalysisWorkbooks.h"
#include "analyses/P_Publikacja.h"
#include "analyses/PublicationSettings.h"
#include "analyses/fPanelPublikacji.h"
#include "core/A_Languages.h"
#include "host/files/XmlWorkbook.h"
#include "host/sheet/DocumentProperties.h"
#include "host/ui/Form.h"
#include "support/ArchiveWorkbook.h"

using host::Variant;
using namespace telm;
using testsupport::AnalysisWorkbooks;

namespace {

struct PublishedBook : AnalysisWorkbooks {
    std::string out = folder.file("out");
    host::sheet::WorkbookPtr source;

    PublishedBook() {
        std::filesystem::create_directories(out);
        saveBook("Zestawienie.xlsx", "Anna");
        source = book("Zestawienie.xlsx");
        auto data = source->sheet(1);
        data->setName("Dane");
        data->range("B1")->setValue("Łódź & <Kraków>");
        auto twin = source->addSheet(nullptr, data, "Dane.A");
        twin->range("Z9")->setValue(99.0);
        twin->setVisible(host::sheet::SheetVisibility::Hidden);
        source->addSheet(nullptr, nullptr, "Uwagi")->range("A1")->setValue("notes");
        source->addSheet(nullptr, nullptr, "Old.a")->range("A1")->setValue("archive");
        StorePublicationSettings(*source, {{out, "", "copy", "", "xlsx"},
                                           {out, "web_", "copy", kMirrorSuffix, "htm"},
                                           {"[TELM.NET.Folder]\\out", "", "copy", "", "xml"}});
        source->save();
    }
};

void expectFrozen(const host::sheet::Workbook& copy) {
    ASSERT_EQ(copy.sheetCount(), 2);
    EXPECT_EQ(copy.sheet(1)->name(), "Dane");
    EXPECT_EQ(copy.sheet(2)->name(), "Uwagi");
    auto data = copy.sheet(1);
    EXPECT_EQ(data->range("A1")->value(), Variant(10.5));
    EXPECT_EQ(data->range("A2")->value(), Variant(21.0));
    EXPECT_EQ(data->range("A1")->hasFormula(), Variant(false));
    EXPECT_EQ(data->range("A2")->hasFormula(), Variant(false));
    EXPECT_EQ(data->range("B1")->value(), Variant("Łódź & <Kraków>"));
}

}  // namespace

TEST(PublicationTest, CopiesHoldValuesWithoutArchiveSheetsAndTheOriginalStays) {
    PublishedBook t;
    t.setAmount("Anna", 99);  // what the workbook shows is published; nothing is queried again
    t.app->run("PublishDefault");
    t.expectIdle();
    EXPECT_EQ(t.value("Zestawienie.xlsx", "A1"), Variant(10.5));
    ASSERT_EQ(t.dialogs.record().size(), 1u) << t.messages();
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - Publication");
    EXPECT_EQ(t.dialogs.record()[0].prompt, "Zestawienie.xlsx has been published in:\n" + t.out + "/copy.xlsx\n" + t.out +
                                                "/web_copy_mirror.htm\n" + t.folder.string() + "\\out/copy.xml");

    auto reader = host::sheet::Application::create();
    host::files::attachWorkbookStore(*reader);
    expectFrozen(*reader->workbooks().open(t.out + "/copy.xlsx"));
    expectFrozen(*host::files::readXmlWorkbook(*reader, t.out + "/copy.xml"));
    const std::string page = testsupport::readFile(t.out + "/web_copy_mirror.htm");
    EXPECT_NE(page.find("<td align=\"right\">10.5</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("Łódź &amp; &lt;Kraków&gt;"), std::string::npos);
    EXPECT_NE(page.find("<h2>Uwagi</h2>"), std::string::npos);
    EXPECT_EQ(page.find("GETDATA"), std::string::npos);
    EXPECT_EQ(page.find("Dane.A"), std::string::npos);
    EXPECT_EQ(page.find("archive"), std::string::npos);

    // The workbook itself is as it was.
    EXPECT_EQ(t.source->sheetCount(), 4);
    EXPECT_EQ(t.source->sheet(1)->range("A1")->formula(), Variant("=GETDATA(\"Amount\",\"Anna\")"));
    EXPECT_TRUE(t.source->saved);
}

TEST(PublicationTest, UnsavedWorkbooksMailFtpAndFoldersThatAreMissing) {
    PublishedBook t;
    // An unsaved workbook: message 1008.
    t.app->workbooks().add();
    t.app->run("PublishDefault");
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, "No workbook open or the workbook not saved yet.");
    t.app->run("PublishNormal");
    EXPECT_EQ(t.dialogs.record().back().prompt, "No workbook open or the workbook not saved yet.");

    // E-mail and FTP are refused with a clear message; a missing folder fails; the rest is written.
    t.dialogs.reset();
    StorePublicationSettings(*t.source, {{"boss@example.com", "", "Report", "", "mail"},
                                         {"ftp://127.0.0.1/pub", "", "copy", "", "xlsx"},
                                         {t.folder.file("nowhere"), "", "copy", "", "xml"},
                                         {t.out, "", "last", "", "htm"}});
    bool silent = true;
    t.source->activate();
    PublishWithDefaults(silent);
    ASSERT_EQ(t.dialogs.record().size(), 3u) << t.messages();
    EXPECT_EQ(t.dialogs.record()[0].prompt,
              "Error occured. The workbook 'Zestawienie.xlsx' has not been published in: boss@example.com\nThe reason "
              "is (if known): e-mail and FTP destinations are not served; publish to a folder instead.");
    EXPECT_NE(t.dialogs.record()[1].prompt.find("ftp://127.0.0.1/pub"), std::string::npos);
    EXPECT_NE(t.dialogs.record()[2].prompt.find("the folder does not exist"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(t.out + "/last.htm"));
    t.expectIdle();

    // With the formula option on, a plain formula stays a formula; the add-in's are still frozen.
    t.dialogs.reset();
    SharedState().PublishFormulaOption = true;
    StorePublicationSettings(*t.source, {{t.out, "", "formulas", "", "xlsx"}});
    PublishWithDefaults(silent);
    EXPECT_TRUE(t.dialogs.record().empty()) << t.messages();
    auto reader = host::sheet::Application::create();
    host::files::attachWorkbookStore(*reader);
    auto copy = reader->workbooks().open(t.out + "/formulas.xlsx");
    EXPECT_EQ(copy->sheet(1)->range("A1")->hasFormula(), Variant(false));
    EXPECT_EQ(copy->sheet(1)->range("A2")->formula(), Variant("=A1*2"));
    EXPECT_EQ(copy->sheet(1)->range("A2")->value(), Variant(21.0));
}

TEST(PublicationTest, ThePanelEditsPublishesAndKeepsTheList) {
    PublishedBook t;
    StorePublicationSettings(*t.source, {});
    // Adding without a path: message 140; removing without a choice: 115; then a web page is added
    // and published, and the list kept in the workbook's properties.
    t.dialogs.actOnForm([&](host::ui::Form& form) {
        auto& panel = dynamic_cast<fPanelPublikacji&>(form);
        EXPECT_EQ(panel.caption(), "Publication panel");
        EXPECT_EQ(panel.Settings().size(), 1u);  // the default mirror
        panel.CommandButton8_Click();
        panel.control<host::ui::TextBox>("TextBox1").setText("");
        panel.CommandButton3_Click();
        panel.CommandButton4_Click();
        panel.control<host::ui::TextBox>("TextBox1").setText(t.out);
        panel.control<host::ui::TextBox>("TextBox3").setText("panel");
        panel.control<host::ui::OptionButton>("OptionButton3").setValue(true);
        panel.control<host::ui::TextBox>("TextBox4").setText("_v2");
        panel.control<host::ui::ComboBox>("ComboBox1").setText("htm");
        EXPECT_EQ(panel.control<host::ui::Label>("Label5").caption(), t.out + "/panel_v2.htm");
        panel.CommandButton3_Click();
        panel.CommandButton5_Click();
    });
    t.app->run("PublishNormal");
    ASSERT_EQ(t.dialogs.record().size(), 4u) << t.messages();
    EXPECT_EQ(t.dialogs.record()[1].prompt, "No address in the path field.");
    EXPECT_EQ(t.dialogs.record()[2].prompt, "Choose a list value.");
    EXPECT_TRUE(std::filesystem::exists(t.out + "/panel_v2.htm"));
    const auto kept = ReadPublicationSettings(*t.source);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0], (PublicationSetting{t.out, "", "panel", "_v2", "htm"}));
    EXPECT_FALSE(t.source->saved);
}

TEST(PublicationTest, EveryOpenWorkbookPublished) {
    PublishedBook t;
    t.saveBook("second.xlsx", "Adam");
    t.app->workbooks().add();  // never saved: message 1008 in its turn
    t.app->run("OpublikujWszystko");
    EXPECT_TRUE(std::filesystem::exists(t.out + "/copy.xml"));
    EXPECT_EQ(AnalysisWorkbooks::fileValue(t.folder.file("second_mirror.xlsx"), "A2"), Variant(14.0));
    EXPECT_EQ(t.dialogs.record().back().prompt, GetMessageText(1008)) << t.messages();
}

namespace {

// Settings typed as the user types them into the workbook's properties.
void storeTexts(host::sheet::Workbook& book, const std::vector<std::string>& texts) {
    StorePublicationSettings(book, {});
    book.customDocumentProperties().remove("TELM.NET.Publ1");
    int number = 0;
    for (const auto& text : texts)
        book.customDocumentProperties().add("TELM.NET.Publ" + std::to_string(++number),
                                            host::sheet::PropertyType::String, text);
}

}  // namespace

TEST(PublicationTest, TheCopyNeverReplacesAnOpenWorkbookNorLeavesItsFolder) {
    PublishedBook t;
    const std::string source = t.source->fullName();
    const std::string second = t.saveBook("second.xlsx", "Adam");
    const std::string sourceBytes = testsupport::readFile(source), secondBytes = testsupport::readFile(second);
    std::filesystem::create_directories(t.folder.file("reports@2024"));
    auto publish = [&](const std::vector<std::string>& texts) {
        t.dialogs.reset();
        t.app->takeCommandFailure();
        storeTexts(*t.source, texts);
        t.source->activate();
        t.app->run("PublishDefault");
        return t.app->takeCommandFailure();
    };

    // Without a suffix the copy is the mirror; a relative folder is the workbook's; a folder holding
    // "@" is a folder.
    EXPECT_FALSE(publish({"Format=xlsx", "Path=out;Format=xml", "Path=" + t.folder.file("reports@2024") + ";Name=r"}));
    EXPECT_EQ(AnalysisWorkbooks::fileValue(t.folder.file("Zestawienie_mirror.xlsx"), "A1"), Variant(10.5));
    EXPECT_TRUE(std::filesystem::exists(t.out + "/Zestawienie_mirror.xml"));
    EXPECT_TRUE(std::filesystem::exists(t.folder.file("reports@2024/r_mirror.xlsx"))) << t.messages();

    // The workbook itself, another open workbook, a name leading out of the folder: refused, each
    // with its message, and the failure noted for the caller.
    const auto failure = publish({"Suffix=;Format=xlsx", "Name=second;Suffix=", "Name=../../escaped",
                                  "Path=out;Prefix=x/;Suffix=_v", "Path=ops@example.com;Format=xlsx"});
    ASSERT_TRUE(failure);
    ASSERT_EQ(t.dialogs.record().size(), 5u) << t.messages();
    EXPECT_NE(t.dialogs.record()[0].prompt.find("would replace the open workbook " + source), std::string::npos)
        << t.messages();
    EXPECT_NE(t.dialogs.record()[1].prompt.find("would replace the open workbook " + second), std::string::npos);
    EXPECT_NE(t.dialogs.record()[2].prompt.find("must not hold a folder separator"), std::string::npos);
    EXPECT_NE(t.dialogs.record()[3].prompt.find("must not hold a folder separator"), std::string::npos);
    EXPECT_NE(t.dialogs.record()[4].prompt.find("e-mail and FTP destinations"), std::string::npos);
    EXPECT_EQ(testsupport::readFile(source), sourceBytes);
    EXPECT_EQ(testsupport::readFile(second), secondBytes);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(t.folder.string()).parent_path().parent_path() /
                                         "escaped_mirror.xlsx"));
    EXPECT_EQ(t.source->sheet(1)->range("A1")->formula(), Variant("=GETDATA(\"Amount\",\"Anna\")"));
}
