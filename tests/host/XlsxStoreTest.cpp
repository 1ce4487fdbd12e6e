#include "host/XlsxTestSupport.h"

#include <thread>

using namespace host;
using namespace host::sheet;
using xlsxtest::XlsxTest;

TEST_F(XlsxTest, ClosedWorkbooksAreReadFromTheirFiles) {
    auto source = app->workbooks().add();
    auto sheet = source->sheet(1);
    sheet->setName("Dane 1");
    sheet->cellAt(1, 1).value = 10.0;
    sheet->cellAt(1, 2).value = "tekst";
    sheet->cellAt(2, 1).value = true;
    source->saveAs(file("source.xls"));
    source->close();

    auto* store = app->workbookStore();
    const std::string windowsFolder = folder.string() + "\\";
    EXPECT_EQ(store->readClosed(folder.string(), "source.xls", "Dane 1", formula::Area::cell(1, 1)), Variant(10.0));
    const Variant area = store->readClosed(windowsFolder, "source.xls", "dane 1", formula::Area{1, 1, 2, 2});
    ASSERT_TRUE(area.isArray());
    const Array& values = area.arrayValue();
    EXPECT_EQ(values.lbound(1), 1);
    EXPECT_EQ(values.ubound(1), 2);
    EXPECT_EQ(values.ubound(2), 2);
    EXPECT_EQ(values(1, 2), Variant("tekst"));
    EXPECT_EQ(values(2, 1), Variant(true));
    EXPECT_TRUE(values(2, 2).isEmpty());

    EXPECT_EQ(store->readClosed(folder.string(), "nothere.xlsx", "Dane 1", formula::Area::cell(1, 1)), Variant(CellError::Ref));
    EXPECT_EQ(store->readClosed(folder.string(), "source.xls", "Other", formula::Area::cell(1, 1)), Variant(CellError::Ref));

    // A changed file is read again.
    auto changed = app->workbooks().open(file("source.xls"));
    changed->sheet(1)->cellAt(1, 1).value = 11.0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    changed->save();
    changed->close();
    EXPECT_EQ(store->readClosed(folder.string(), "source.xls", "Dane 1", formula::Area::cell(1, 1)), Variant(11.0));

    // Formulas that refer to a workbook that is not open read its file.
    auto book = app->workbooks().add();
    book->sheet(1)->range("A1")->setFormula("='" + windowsFolder + "[source.xls]Dane 1'!A1*2");
    EXPECT_EQ(book->sheet(1)->range("A1")->value(), Variant(22.0));
}

TEST_F(XlsxTest, OpeningAnOpenWorkbookOrAMissingFile) {
    auto book = app->workbooks().add();
    book->saveAs(file("one.xlsx"));
    EXPECT_EQ(app->workbooks().open(folder.string() + "\\one.xlsx"), book);
    try {
        app->workbooks().open(file("none.xlsx"));
        ADD_FAILURE() << "a missing file opened";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::InvalidArgument);
        EXPECT_EQ(e.description().rfind("'" + file("none.xlsx") + "' could not be found", 0), 0u) << e.description();
    }
    EXPECT_EQ(app->workbooks().count(), 1);
}
