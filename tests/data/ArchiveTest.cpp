#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/A_Deklaracje.h"
#include "data/P_Archiwum.h"
#include "host/base/TextFile.h"
#include "host/sheet/Comment.h"
#include "support/AddInHost.h"
#include "support/Errors.h"

using namespace telm;
using host::Variant;
using testsupport::errorNumberOf;

namespace {

const std::string kKey = "s(:)DSN=sales;UID=u;(:)SELECT SUM(x) FROM t";

// The comment the archive command leaves beside a frozen value.
std::string archiveComment(std::string description) {
    return EncodeSourceComment(description) + "\n\n2024.05.06 07:08:09, \ruser, company";
}

// A started add-in with a workbook whose first sheet has a hidden twin sheet, and the worksheet
// function ARCH(key [, order]) that answers the archive decision, or "live".
struct ArchiveSheets : testsupport::AddInHost {
    host::sheet::WorkbookPtr book;
    host::sheet::WorksheetPtr sheet, twin;

    ArchiveSheets() {
        start();
        app->registerFunction("ARCH", [](std::vector<Variant>& args) -> Variant {
            const auto order = args.size() > 1 ? ArchiveOrder::EmptyTwinFirst : ArchiveOrder::Standard;
            return ArchiveDecision(args.at(0).toString(), order).value_or(Variant("live"));
        });
        book = app->workbooks().add();
        sheet = book->sheet(1);
        twin = book->addSheet(nullptr, sheet, sheet->name() + ".a");
        twin->setVisible(host::sheet::SheetVisibility::Hidden);
    }
    // Enters ARCH with the key in a cell of the first sheet and gives what the cell shows.
    Variant decide(const std::string& address, const std::string& key = kKey, bool emptyTwinFirst = false) {
        sheet->range(address)->setFormula("=ARCH(\"" + key + "\"" + (emptyTwinFirst ? ",1)" : ")"));
        return sheet->range(address)->value();
    }
    void archive(const std::string& address, const Variant& value, const std::string& description = kKey) {
        twin->range(address)->setValue(value);
        twin->range(address)->addComment(archiveComment(description));
    }
};

}  // namespace

TEST(Archive, DecisionOnTwinSheets) {
    ArchiveSheets host;
    auto& hits = SharedState().ArchiveHitCount;
    // No twin sheet.
    auto other = host.book->addSheet();
    other->range("A1")->setFormula("=ARCH(\"" + kKey + "\")");
    EXPECT_EQ(other->range("A1")->value(), Variant("live"));
    // Empty twin cell without comment.
    EXPECT_EQ(host.decide("A1"), Variant("live"));
    EXPECT_EQ(hits, 0);
    // A point: shown, counted, not queried.
    host.twin->range("A2")->setValue(".");
    EXPECT_EQ(host.decide("A2"), Variant("."));
    EXPECT_EQ(hits, 1);
    // The frozen value of an unchanged request.
    host.archive("A3", 42.0);
    EXPECT_EQ(host.decide("A3"), Variant(42.0));
    EXPECT_EQ(hits, 2);
    // The same cell after its request changed.
    EXPECT_EQ(host.decide("A3", "s(:)DSN=sales;UID=u;(:)SELECT SUM(y) FROM t"), Variant("#Arch!"));
    EXPECT_EQ(hits, 2);
    // A value without a comment.
    host.twin->range("A4")->setValue("frozen");
    EXPECT_EQ(host.decide("A4"), Variant("#Arch!"));
    // An archive command running: always live.
    SharedState().ArchiveOperationActive = true;
    EXPECT_EQ(host.decide("A3"), Variant("live"));
    EXPECT_EQ(host.decide("A2"), Variant("live"));
    EXPECT_EQ(hits, 2);
}

TEST(Archive, EmptyTwinCellWithMatchingCommentDependsOnTheOrder) {
    ArchiveSheets host;
    host.archive("B1", Variant());
    EXPECT_EQ(host.decide("B1"), Variant(".."));
    EXPECT_EQ(SharedState().ArchiveHitCount, 1);
    EXPECT_EQ(host.decide("B1", kKey, true), Variant("live"));
    EXPECT_EQ(SharedState().ArchiveHitCount, 1);
    // With a value the two orders agree.
    host.archive("B2", "text");
    EXPECT_EQ(host.decide("B2", kKey, true), Variant("text"));
}

TEST(Archive, LookupsOfTheCallingRange) {
    ArchiveSheets host;
    // An array formula gets the twin block; the request is read from its first cell's comment.
    host.twin->range("D1")->setValue(1.0);
    host.twin->range("E1")->setValue(2.0);
    host.twin->range("D1")->addComment(archiveComment(kKey));
    host.sheet->range("D1:E1")->setFormulaArray("=ARCH(\"" + kKey + "\")");
    EXPECT_EQ(host.sheet->range("D1")->value(), Variant(1.0));
    EXPECT_EQ(host.sheet->range("E1")->value(), Variant(2.0));

    host.app->registerFunction("SRC", [](std::vector<Variant>&) -> Variant { return GetArchivedSource(); });
    auto source = [&](const std::string& address) {
        host.sheet->range(address)->setFormula("=SRC()");
        return host.sheet->range(address)->value();
    };
    host.twin->range("G1")->addComment(archiveComment(kKey));
    EXPECT_EQ(source("G1"), Variant(kKey));
    EXPECT_EQ(source("F1"), Variant(".."));  // no comment
    host.twin->range("F2")->addComment("no line feed");
    EXPECT_EQ(source("F2"), Variant(".."));
    host.book->addSheet()->range("A1")->setFormula("=SRC()");
    EXPECT_EQ(host.book->sheet(host.book->sheetCount())->range("A1")->value(), Variant("."));
    // Outside a formula there is no calling range.
    EXPECT_EQ(GetArchivedValue(), Variant("."));
    EXPECT_EQ(GetArchivedSource(), ".");
    SharedState().ArchiveOperationActive = true;
    EXPECT_EQ(GetArchivedValue(), Variant(".."));
}

TEST(Archive, TwinSheetNamesEndInDotA) {
    for (const char* name : {"Sheet1.a", "Sheet1.A", "Łódź.a", ".a", "Q1.actual.a"}) EXPECT_TRUE(IsArchiveSheetName(name)) << name;
    for (const char* name : {"Sheet1", "Q1.actual", "a", "Sheet1.á", "Sheet1.Ａ", "Sheet1,a", ""})
        EXPECT_FALSE(IsArchiveSheetName(name)) << name;
}

TEST(Archive, CommentEncodingRoundTrip) {
    for (const std::string& description :
         {kKey, std::string("m(:)Provider=MSOLAP;Data Source=c.cube(:)SELECT {[a01].&[1]} ON 0 FROM [c]"),
          std::string("l(:)'C:\\f\\[Book.xlsx]Sheet1'!R1C1"), std::string("s(:)DSN=ż;(:)SELECT 'ą'")}) {
        std::string text = description;
        EXPECT_EQ(EncodeSourceComment(text), text);
        std::string comment = archiveComment(description);
        EXPECT_EQ(DecodeSourceComment(comment), description);
    }
    std::string encoded = kKey;
    EXPECT_EQ(EncodeSourceComment(encoded), "--> ODBC:\nDSN=sales;\nUID=u;\n-->SELECT SUM(x) FROM t");
    std::string noLineFeed = "s(:)x";
    EXPECT_EQ(errorNumberOf([&] { DecodeSourceComment(noLineFeed); }), 5);
}

TEST(Archive, AppendLogLine) {
    ResetSharedState();
    testsupport::TempFolder folder;
    SharedState().AddInFolder = folder.string();
    // Without the "Log" folder nothing is written and the caller hears of it.
    EXPECT_EQ(errorNumberOf([] { AppendLogLine("line"); }), 76);
    std::filesystem::create_directory(folder.file("Log"));
    EXPECT_TRUE(AppendLogLine("first"));
    EXPECT_TRUE(AppendLogLine("second", std::nullopt, true, "header given too late"));
    const std::string archiveLog = folder.string() + "\\Log\\Archiwum.log";
    EXPECT_TRUE(AppendLogLine("ą : 1 : s(:)x", archiveLog));
    auto read = [&](const std::string& name) {
        std::ifstream in(folder.file(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read("Log/other.log"), "first\r\nsecond\r\n");
    EXPECT_EQ(read("Log/Archiwum.log"), "ą : 1 : s(:)x\r\n");
    // A custom model file carried over in the Polish code page stays in it.
    std::ofstream(folder.file("ModelCustom.par"), std::ios::binary) << "[Measure Zi\xB3o]\r\n";
    EXPECT_TRUE(AppendLogLine("[Measure Żółw]", folder.string() + "\\ModelCustom.par", false, "header"));
    EXPECT_EQ(host::readTextFile(folder.file("ModelCustom.par")), "[Measure Ziło]\r\n[Measure Żółw]\r\n");
    ResetSharedState();
}
