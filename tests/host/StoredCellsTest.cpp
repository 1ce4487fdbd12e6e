#include <gtest/gtest.h>

#include "host/sheet/Application.h"
#include "host/sheet/Comment.h"

using namespace host::sheet;

TEST(StoredCellsTest, WalkedInEnumerationOrderOverAnySize) {
    auto app = Application::create();
    auto sheet = app->workbooks().add()->sheet(1);
    for (const char* address : {"C3", "A2", "XFD1048576", "B2", "A1"}) sheet->range(address)->setFormula("1");
    sheet->range("D4")->addComment("note");
    std::vector<std::string> walked;
    for (const auto& cell : sheet->range("A1:XFD1048576,B2")->storedCellList()) walked.push_back(cell->address(false, false));
    EXPECT_EQ(walked, (std::vector<std::string>{"A1", "A2", "B2", "C3", "D4", "XFD1048576", "B2"}));
    // Clearing the comments of the whole sheet visits its stored cells only.
    sheet->range("A1:XFD1048576")->clearComments();
    EXPECT_TRUE(sheet->comments().empty());
}
