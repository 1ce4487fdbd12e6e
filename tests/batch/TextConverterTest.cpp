// The text converter run from its definition sheet through the add-in's command: report listings in
// Windows-1250 and UTF-8 loaded into a SQLite table, the preview workbook opened by the timer macro,
// and the failures a user meets.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "batch/P_TC_Program.h"
#include "batch/TextConverterDefinition.h"
#include "core/A_Languages.h"
#include "support/ArchiveWorkbook.h"

using host::Variant;
using namespace telm;

namespace {

struct Converter : testsupport::SqlCells {
    host::sheet::WorksheetPtr definition;

    Converter() {
        host::files::attachWorkbookStore(*app);
        SharedState().ErrorReportingLevel = 1;
        std::filesystem::create_directories(folder.file("listings"));
        definition = app->workbooks().add()->sheet(1);
        const std::vector<std::pair<std::string, std::string>> keys = {
            {"File", "[TELM.NET.Folder]\\listings\\report*.txt"},
            {"Delimiter", ""},
            {"SkipRows", "2"},
            {"Table", "Obroty miast"},
            {"Connection", connection}};
        definition->range("A1")->setValue(kTextConverterMark);
        int row = 3;
        for (const auto& [key, value] : keys) {
            definition->cells(row, 1)->setValue(key);
            definition->cells(row++, 2)->setValue(value);
        }
        definition->cells(row++, 1)->setValue("Fields");
        definition->cells(row, 1)->setValue("Miasto");
        definition->cells(row++, 2)->setValue(10.0);
        definition->cells(row, 1)->setValue("Kwota");
        definition->cells(row, 3)->setValue("NUMBER");
    }
    void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream(folder.file("listings/" + name), std::ios::binary) << bytes;
    }
    void run() {
        definition->activate();
        app->run("StartTC");
    }
    // The table's rows with an amount, city and amount, in amount order.
    std::vector<std::pair<std::string, double>> rows() {
        std::vector<std::pair<std::string, double>> out;
        if (odbc("SELECT COUNT(*) FROM \"Obroty miast\" WHERE Kwota IS NOT NULL") == Variant(0.0)) return out;
        host::ado::Connection c;
        c.open(connection);
        host::ado::Recordset r;
        r.open("SELECT Miasto, Kwota FROM \"Obroty miast\" WHERE Kwota IS NOT NULL ORDER BY Kwota", c);
        const Variant all = r.getRows();
        for (long i = 0; i < all.arrayValue().count(2); ++i)
            out.emplace_back(all.arrayValue()(0, i).toString(), all.arrayValue()(1, i).toDouble());
        return out;
    }
};

// "RAPORT SPRZEDAŻY" and its heading, then Łódź 1 234,50 and Kraków 99,00, in Windows-1250.
const std::string kCp1250Listing =
    "RAPORT SPRZEDA\xAF" "Y\r\nMiasto    Kwota\r\n\xA3\xF3" "d\x9F      1 234,50\r\nKrak\xF3w       99,00\r\n\r\n";
const std::string kUtf8Listing = "Raport\nMiasto    Kwota\nGdańsk    -5.5\nŚrem\n";

}  // namespace

TEST(TextConverterTest, ListingsInBothCodePagesLoadedWithTheirPreview) {
    Converter t;
    t.writeFile("report1.txt", kCp1250Listing);
    t.writeFile("report2.txt", kUtf8Listing);
    t.writeFile("other.txt", "not matched\n");
    t.run();
    EXPECT_TRUE(t.dialogs.record().empty()) << t.dialogs.record().front().prompt;
    EXPECT_EQ(t.rows(), (std::vector<std::pair<std::string, double>>{{"Gdańsk", -5.5}, {"Kraków", 99}, {"Łódź", 1234.5}}));
    EXPECT_EQ(t.app->calculation(), host::sheet::CalculationMode::Automatic);
    EXPECT_EQ(t.app->statusBar(), Variant(false));

    // The preview opens one second later through the timer macro.
    ASSERT_EQ(t.app->scheduledMacros().size(), 1u);
    EXPECT_EQ(t.app->scheduledMacros()[0].procedure, "OpenPreviewFile");
    t.app->runDueMacros(true);
    auto preview = t.app->workbooks().find("TELM.NET.TC.LastPreview.xls");
    ASSERT_TRUE(preview);
    auto sheet = preview->sheet(1);
    EXPECT_EQ(sheet->range("A1")->value(), Variant("Miasto"));
    EXPECT_EQ(sheet->range("A2")->value(), Variant("Łódź"));
    EXPECT_EQ(sheet->range("B2")->value(), Variant(1234.5));
    EXPECT_EQ(sheet->range("A5")->value(), Variant("Śrem"));
    EXPECT_TRUE(sheet->range("B5")->value().isEmpty());

    // Run again: the rows are appended, and the open preview is replaced by the new one.
    t.run();
    EXPECT_EQ(t.rows().size(), 6u);
    t.app->runDueMacros(true);
    EXPECT_EQ(t.app->workbooks().count(), 3);
}

TEST(TextConverterTest, FailuresAreReportedAndLeaveTheTableAlone) {
    Converter t;
    // No matching file.
    t.run();
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_EQ(t.dialogs.record()[0].prompt, GetMessageText(1022) + "\n[TELM.NET.Folder]\\listings\\report*.txt");
    EXPECT_EQ(t.dialogs.record()[0].title, "TELM.NET - TELM.NET.TC - Text conversion");

    // A field that is no number: the file and line are named, nothing is written.
    t.dialogs.reset();
    t.writeFile("report1.txt", "x\ny\nWarszawa  12\nRadom     dużo\n");
    t.run();
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_NE(t.dialogs.record()[0].prompt.find("report1.txt, line 4: The field 'Kwota' holds 'dużo'"), std::string::npos)
        << t.dialogs.record()[0].prompt;
    EXPECT_TRUE(t.rows().empty());
    EXPECT_TRUE(t.app->scheduledMacros().empty());

    // A hostile table name stays a name.
    t.dialogs.reset();
    t.writeFile("report1.txt", "x\ny\nO'Brien   1\n");
    t.definition->range("B6")->setValue("t\"; DROP TABLE Sales; --");
    t.run();
    EXPECT_TRUE(t.dialogs.record().empty());
    EXPECT_EQ(t.odbc("SELECT COUNT(*) FROM Sales"), Variant(3.0));

    // A sheet that is no definition; a preview that is missing.
    t.definition->range("A1")->setValue("");
    t.run();
    EXPECT_EQ(t.dialogs.record().back().prompt, GetMessageText(1021) + "TELM.NET.TC");
    std::filesystem::remove_all(t.folder.file("Temp"));
    t.app->run("OpenPreviewFile");
    EXPECT_EQ(t.dialogs.record().back().prompt,
              GetMessageText(1024) + SharedState().AddInFolder + "\\Temp\\TELM.NET.TC.LastPreview.xls");
}

TEST(TextConverterTest, AValueThatWouldEndItsLiteralEarlyIsRefused) {
    Converter t;
    // A backslash inside a value is kept; one before the closing quote would end the literal later
    // for servers that read backslash escapes, and text of the next row would run as statements there.
    t.writeFile("report1.txt", "x\ny\nC:\\dir    1\n");
    t.run();
    EXPECT_TRUE(t.dialogs.record().empty());
    EXPECT_EQ(t.rows(), (std::vector<std::pair<std::string, double>>{{"C:\\dir", 1}}));
    t.writeFile("report1.txt", "x\ny\nx\\        1\nWarszawa  2\n");
    t.run();
    ASSERT_EQ(t.dialogs.record().size(), 1u);
    EXPECT_NE(t.dialogs.record()[0].prompt.find("SQL literal"), std::string::npos) << t.dialogs.record()[0].prompt;
    EXPECT_EQ(t.rows().size(), 1u);
    EXPECT_EQ(t.odbc("SELECT COUNT(*) FROM Sales"), Variant(3.0));
}

TEST(TextConverterTest, DelimitedLines) {
    TextConverterDefinition d;
    d.delimiter = ";";
    d.fields = {{"a", 0, false}, {"b", 0, true}, {"c", 0, false}};
    EXPECT_EQ(SplitListingLine(" Zażółć ; 1 000,5", d),
              (std::vector<Variant>{Variant("Zażółć"), Variant(1000.5), Variant::null()}));
    d.fields = {{"a", 3, false}, {"b", 0, true}};
    d.delimiter.clear();
    EXPECT_EQ(SplitListingLine("ŁÓD  12", d), (std::vector<Variant>{Variant("ŁÓD"), Variant(12.0)}));
    EXPECT_EQ(SplitListingLine("Ł", d), (std::vector<Variant>{Variant("Ł"), Variant::null()}));
}

namespace {

// 300 listing lines after two heading lines, the 250th row's amount 5000 unless `fixed`.
std::string longListing(bool fixed) {
    std::string text = "Raport\nMiasto    Kwota\n";
    for (int i = 1; i <= 300; ++i)
        text += "Miasto" + std::to_string(i) + std::string(4 - std::to_string(i).size(), ' ') +
                std::to_string(i == 250 && !fixed ? 5000 : i) + "\n";
    return text;
}

}  // namespace

TEST(TextConverterTest, AFileLoadsWholeOrNotAtAllOnEveryDatabase) {
    Converter t;
    std::vector<std::string> connections = {t.connection};
    if (const auto pg = testsupport::postgresServer())
        connections.push_back(pg->connection("Uid=" + pg->user + ";Pwd=" + pg->password + ";"));
    for (const auto& connection : connections) {
        testsupport::runStatements(connection, {"DROP TABLE IF EXISTS \"Obroty miast\"",
                                                "CREATE TABLE \"Obroty miast\" (\"Miasto\" TEXT, \"Kwota\" DOUBLE "
                                                "PRECISION CHECK (\"Kwota\" < 1000))"});
        t.definition->range("B7")->setValue(connection);
        auto count = [&] {
            host::ado::Connection c;
            c.open(connection);
            host::ado::Recordset r;
            r.open("SELECT COUNT(*) FROM \"Obroty miast\"", c);
            return r.getRows().arrayValue()(0, 0).toDouble();
        };
        t.dialogs.reset();
        t.writeFile("report1.txt", longListing(false));
        t.run();
        ASSERT_EQ(t.dialogs.record().size(), 1u) << connection;
        const std::string& prompt = t.dialogs.record()[0].prompt;
        EXPECT_NE(prompt.find("report1.txt, line 252: "), std::string::npos) << prompt;
        EXPECT_NE(prompt.find("Nothing of this file has been loaded."), std::string::npos) << prompt;
        EXPECT_TRUE(t.app->takeCommandFailure());
        EXPECT_EQ(count(), 0.0) << connection;

        // Mended and run again: every row once.
        t.dialogs.reset();
        t.writeFile("report1.txt", longListing(true));
        t.run();
        EXPECT_TRUE(t.dialogs.record().empty()) << t.dialogs.record().at(0).prompt;
        EXPECT_FALSE(t.app->takeCommandFailure());
        EXPECT_EQ(count(), 300.0) << connection;

        // A line that is no listing row after more than a statement's rows were sent: the file is
        // named with the line, and its rows sent before are gone again.
        t.dialogs.reset();
        std::string unreadable = longListing(true);
        unreadable.insert(unreadable.rfind("Miasto290"), "Radom     dużo\n");
        t.writeFile("report1.txt", unreadable);
        t.run();
        ASSERT_EQ(t.dialogs.record().size(), 1u) << connection;
        EXPECT_NE(t.dialogs.record()[0].prompt.find("report1.txt, line 292: The field 'Kwota' holds 'dużo'"),
                  std::string::npos)
            << t.dialogs.record()[0].prompt;
        EXPECT_TRUE(t.app->takeCommandFailure());
        EXPECT_EQ(count(), 300.0) << connection;
        testsupport::runStatements(connection, {"DROP TABLE \"Obroty miast\""});
    }
}
