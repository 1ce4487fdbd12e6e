#include <gtest/gtest.h>

#include "support/Errors.h"

#include <filesystem>
#include <fstream>

#include "host/base/RuntimeError.h"
#include "host/sheet/ToolbarFile.h"

using namespace host;
using namespace host::sheet;
namespace fs = std::filesystem;

using testsupport::errorNumberOf;

namespace {

class ToolbarFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("telm-toolbars-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(folder_ / name, std::ios::binary) << text;
    }
    std::vector<std::string> filesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path folder_;
};

// A toolbar with texts that a line-based format could trip over, nested three levels deep.
std::shared_ptr<CommandBar> addTrickyToolbar(CommandBars& bars) {
    auto bar = bars.add("TELM; \"Tools\" = &1", false, CommandBarPosition::Left);
    bar->setVisible(true);
    auto button = bar->controls()->add();
    button->setCaption("A&B; c=\"d\" \\ e\nsecond line\twith tab\r");
    button->setOnAction("'TELM.NET.xla'!Run");
    button->setTooltipText("Zażółć gęślą jaźń");
    button->setTag("  spaced tag  ");
    button->setParameter("#x=1;y=\"2\"");
    button->setFaceId(2950);
    button->setStyle(ButtonStyle::IconAndCaption);
    button->setBeginGroup(true);
    button->setEnabled(false);
    auto popup = bar->controls()->add(ControlType::Popup);
    popup->setCaption("");
    auto nested = popup->controls()->add(ControlType::Popup)->controls()->add(ControlType::Button, 19);
    nested->setVisible(false);
    bar->controls()->add()->setCaption("  last  ");
    return bar;
}

}  // namespace

TEST_F(ToolbarFile, RoundTripKeepsEveryControlAndState) {
    CommandBars saved;
    const auto bar = addTrickyToolbar(saved);
    saved.item("Standard")->controls()->item(1)->remove();
    saved.item("Standard")->setVisible(false);
    std::string windowsStyle = path("TELM.NET.CommandBars.xlb");
    std::replace(windowsStyle.begin(), windowsStyle.end(), '/', '\\');
    saveToolbars(saved, {bar->name(), "standard"}, windowsStyle);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"TELM.NET.CommandBars.xlb"});

    CommandBars fresh;
    const int count = fresh.count();
    loadToolbars(fresh, path("TELM.NET.CommandBars.xlb"));
    EXPECT_EQ(fresh.count(), count + 1);
    EXPECT_EQ(fresh.item(bar->name())->describe(), bar->describe());
    EXPECT_EQ(fresh.item("Standard")->describe(), saved.item("Standard")->describe());
    EXPECT_TRUE(fresh.item("Standard")->builtIn());

    // Loading into the session that saved: the bar's later changes give way to the file.
    bar->controls()->add()->setCaption("added after saving");
    bar->setVisible(false);
    const auto before = bar->describe();
    loadToolbars(saved, path("TELM.NET.CommandBars.xlb"));
    EXPECT_EQ(saved.item(bar->name()), bar);
    EXPECT_TRUE(bar->visible());
    EXPECT_EQ(bar->controls()->count(), before.controls.size() - 1);
    EXPECT_EQ(bar->describe(), fresh.item(bar->name())->describe());
}

TEST_F(ToolbarFile, ReadsOtherLineEndingsCommentsAndAByteOrderMark) {
    write("t.xlb",
          "\xEF\xBB\xBFTELM command bars 1\r\n# my bars\r\n\r\nbar name=\"Mine\" type=toolbar visible=true\r"
          "  control type=popup caption=\"&Menu\"\n    control type=button caption=\"Go\" onaction=\"Go\"\r\n");
    CommandBars bars;
    loadToolbars(bars, path("t.xlb"));
    auto mine = bars.item("Mine");
    EXPECT_TRUE(mine->visible());
    EXPECT_EQ(mine->controls()->item("Menu")->controls()->item("Go")->onAction(), "Go");
}

TEST_F(ToolbarFile, ABadFileNamesTheFileAndTheLineAndChangesNothing) {
    const std::string good = "TELM command bars 1\nbar name=\"New Bar\"\n  control type=popup caption=\"P\"\n";
    const struct {
        std::string text;
        int line;
    } cases[] = {
        {"", 1},
        {"Something else\n", 1},
        {"TELM command bars 2\n", 1},
        {good + "    control type=button caption=\"x\n", 4},             // no closing quote
        {good + "    control type=button caption=\"\\q\"\n", 4},        // unknown escape
        {good + "    control type=button caption=x\n", 4},              // unquoted text
        {good + "    control type=button faceid=12a\n", 4},             // not a number
        {good + "    control type=button visible=yes\n", 4},            // not a Boolean
        {good + "    control type=dropdown\n", 4},                      // unknown type
        {good + "    control type=button colour=\"red\"\n", 4},         // unknown field
        {good + "    control type=button tag=\"a\" tag=\"b\"\n", 4},    // field twice
        {good + "    control type=button caption\n", 4},                // no value
        {good + "    control type=button caption=\"a\"b\n", 4},         // text runs on
        {good + "  control type=button\n      control type=button\n", 5},  // too deep
        {good + "  control type=button\n    control type=button\n", 5},    // under a button
        {good + "   control type=button\n", 4},                           // odd indentation
        {good + "  bar name=\"x\"\n", 4},
        {good + "bar name=\"\"\n", 4},
        {good + "button caption=\"x\"\n", 4},
        {"TELM command bars 1\n  control type=button\n", 2},             // control before a bar
        {good + "    control type=button caption=\"\xC3\x28\"\n", 4},    // not UTF-8
    };
    for (const auto& c : cases) {
        write("bad.xlb", c.text);
        CommandBars bars;
        const int count = bars.count();
        try {
            loadToolbars(bars, path("bad.xlb"));
            ADD_FAILURE() << "no error for:\n" << c.text;
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), err::InvalidArgument) << c.text;
            EXPECT_NE(e.description().find(path("bad.xlb")), std::string::npos) << e.description();
            EXPECT_NE(e.description().find("line " + std::to_string(c.line) + ":"), std::string::npos)
                << e.description();
        }
        EXPECT_EQ(bars.count(), count) << c.text;
    }
}

TEST_F(ToolbarFile, FileErrors) {
    CommandBars bars;
    EXPECT_EQ(errorNumberOf([&] { loadToolbars(bars, path("missing.xlb")); }), err::FileNotFound);
    EXPECT_EQ(errorNumberOf([&] { saveToolbars(bars, {"Standard"}, path("no folder/t.xlb")); }), err::PathNotFound);

    write("kept.xlb", "old content");
    EXPECT_EQ(errorNumberOf([&] { saveToolbars(bars, {"Standard", "No Such Bar"}, path("kept.xlb")); }),
              err::InvalidProcedureCall);
    std::ifstream in(path("kept.xlb"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old content");
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"kept.xlb"});

    // The temporary file cannot take the place of a folder: the error comes after it was written.
    fs::remove(path("kept.xlb"));
    fs::create_directory(path("folder.xlb"));
    EXPECT_EQ(errorNumberOf([&] { saveToolbars(bars, {"Standard"}, path("folder.xlb")); }), err::PathFileAccessError);
    EXPECT_EQ(filesInFolder(), std::vector<std::string>{"folder.xlb"});
}
