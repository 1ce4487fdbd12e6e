#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "core/A_Deklaracje.h"
#include "core/P_ObslBledow.h"
#include "host/base/DateSerial.h"
#include "host/base/RuntimeError.h"
#include "host/ui/ScriptedBackend.h"

using namespace telm;
namespace fs = std::filesystem;
namespace ui = host::ui;

namespace {

class ReportMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedState();
        scripted_ = &ui::resetScriptedBackend();
        folder_ = fs::temp_directory_path() /
                  ("telm-errorlog-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
        SharedState().AddInFolder = folder_.string();
    }
    void TearDown() override {
        fs::remove_all(folder_);
        ui::resetScriptedBackend();
    }

    static void useLevel(std::int16_t level) { SharedState().ErrorReportingLevel = level; }
    fs::path logPath() const { return folder_ / "Errors.log"; }
    std::string logBytes() const {
        std::ifstream in(logPath(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // The record's text after its date and time and " - ", checking the date is about now.
    static std::string afterTimestamp(const std::string& record) {
        const auto dash = record.find(" - ");
        EXPECT_NE(dash, std::string::npos) << record;
        if (dash == std::string::npos) return record;
        const auto stamp = host::parseDate(record.substr(1, dash - 1));
        EXPECT_TRUE(stamp.has_value()) << record;
        if (stamp) {
            EXPECT_LT(std::abs(*stamp - host::nowSerial()), 5.0 / 86400);
        }
        return record.substr(dash + 3);
    }

    ui::ScriptedBackend* scripted_ = nullptr;
    fs::path folder_;
};

TEST_F(ReportMessageTest, SilentLevelsShowAndWriteNothing) {
    for (std::int16_t level : {0, 4, 7, -1}) {
        useLevel(level);
        EXPECT_TRUE(ReportMessage("Continue?", ui::vbYesNo + ui::vbQuestion, "T").isEmpty()) << level;
        EXPECT_EQ(SharedState().ReportChannel, host::Variant::integer(level));
    }
    useLevel(1);
    SharedState().ISProgramRunning = true;
    EXPECT_TRUE(ReportMessage("Continue?", ui::vbYesNo, "T").isEmpty());
    EXPECT_TRUE(scripted_->record().empty());
    EXPECT_FALSE(fs::exists(logPath()));
}

TEST_F(ReportMessageTest, BoxLevelsShowTheMessageAndReturnTheAnswer) {
    useLevel(1);
    scripted_->answerMessage(ui::vbNo);
    EXPECT_EQ(ReportMessage("Continue?", ui::vbYesNo + ui::vbQuestion, "TELM.NET - Archive"), host::Variant(ui::vbNo));
    useLevel(2);
    SharedState().ISProgramRunning = true;
    EXPECT_EQ(ReportMessage("Done.", host::Variant(64.0)), host::Variant(ui::vbOK));

    ASSERT_EQ(scripted_->record().size(), 2u);
    const ui::ShownDialog& question = scripted_->record()[0];
    EXPECT_EQ(question.prompt, "Continue?");
    EXPECT_EQ(question.buttons, 36);
    EXPECT_EQ(question.title, "TELM.NET - Archive");
    EXPECT_EQ(scripted_->record()[1].title, "");
    EXPECT_EQ(scripted_->record()[1].buttons, 64);
    EXPECT_FALSE(fs::exists(logPath()));
}

TEST_F(ReportMessageTest, LogLevelAppendsOneQuotedRecordPerMessage) {
    useLevel(3);
    EXPECT_TRUE(ReportMessage("First line\r\nSecond \"line\"", ui::vbExclamation, "T").isEmpty());
    EXPECT_TRUE(ReportMessage("No title", ui::vbYesNo).isEmpty());
    WriteErrorLog();
    EXPECT_TRUE(scripted_->record().empty());

    const std::string log = logBytes();
    std::vector<std::string> records;
    for (std::size_t start = 0, end; (end = log.find("\"\r\n", start)) != std::string::npos; start = end + 3)
        records.push_back(log.substr(start, end + 1 - start));
    ASSERT_EQ(records.size(), 3u) << log;
    for (const std::string& record : records) EXPECT_EQ(record.front(), '"');
    EXPECT_EQ(afterTimestamp(records[0]), "T,48,First line(&)\nSecond \"line\"\"");
    EXPECT_EQ(afterTimestamp(records[1]), ",4,No title\"");
    EXPECT_EQ(afterTimestamp(records[2]), "Error.\"");
    EXPECT_EQ(log.size(), records[0].size() + records[1].size() + records[2].size() + 6);
}

TEST_F(ReportMessageTest, LogWriteFailuresReachTheCaller) {
    SharedState().AddInFolder = (folder_ / "missing").string();
    useLevel(3);
    EXPECT_THROW(ReportMessage("Lost", ui::vbOKOnly, "T"), host::RuntimeError);
    EXPECT_THROW(WriteErrorLog("line"), host::RuntimeError);
    EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

}  // namespace
