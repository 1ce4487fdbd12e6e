#pragma once
// Helpers of the workbook-file tests: a scratch folder, running Python scripts, and small packages
// built by hand.

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "host/files/XlsxStore.h"
#include "host/files/Zip.h"
#include "host/sheet/Application.h"

namespace xlsxtest {

namespace fs = std::filesystem;

// A test with a fresh folder and an application that reads and writes workbook files.
struct XlsxTest : ::testing::Test {
    fs::path folder;
    host::sheet::ApplicationPtr app = host::sheet::Application::create();

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // The process id keeps runs of the same test in other build trees apart.
        folder = fs::temp_directory_path() / (std::string("telm_files_") + info->test_suite_name() + "_" + info->name() +
                                              "_" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        host::files::attachWorkbookStore(*app);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string file(const std::string& name) const { return (folder / name).string(); }
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeAll(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Runs a Python script with the system interpreter; returns what it printed. Fails the test when the
// script fails.
inline std::string runPython(const std::string& folder, const std::string& script, const std::string& argument) {
    const std::string scriptPath = folder + "/script.py";
    const std::string outputPath = folder + "/script.out";
    writeAll(scriptPath, script);
    const std::string command = "/usr/bin/python3 '" + scriptPath + "' '" + argument + "' > '" + outputPath + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string output = readAll(outputPath);
    EXPECT_EQ(status, 0) << output;
    return output;
}

// A package of the given parts, stored as a zip file.
inline void writePackage(const std::string& path, const std::vector<std::pair<std::string, std::string>>& parts) {
    host::files::ZipWriter zip;
    for (const auto& [name, content] : parts) zip.add(name, content);
    writeAll(path, zip.finish(path));
}

// The parts every hand-made workbook needs, with the given sheet part content as sheet 1.
inline std::vector<std::pair<std::string, std::string>> minimalWorkbook(const std::string& sheetData,
                                                                        const std::string& sharedStrings = "") {
    const std::string ns = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::vector<std::pair<std::string, std::string>> parts = {
        {"_rels/.rels", R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                        R"(<Relationship Id="rId1" Type=")" + rel + R"(officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
        {"xl/workbook.xml", "<workbook" + ns + R"( xmlns:r=")" + rel.substr(0, rel.size() - 1) +
                                R"("><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>)"},
        {"xl/_rels/workbook.xml.rels",
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId1" Type=")" + rel + R"(worksheet" Target="worksheets/sheet1.xml"/>)"
         R"(<Relationship Id="rId2" Type=")" + rel + R"(sharedStrings" Target="sharedStrings.xml"/>)"
         R"(<Relationship Id="rId3" Type=")" + rel + R"(styles" Target="styles.xml"/></Relationships>)"},
        {"xl/worksheets/sheet1.xml", "<worksheet" + ns + "><sheetData>" + sheetData + "</sheetData></worksheet>"},
    };
    if (!sharedStrings.empty()) parts.emplace_back("xl/sharedStrings.xml", "<sst" + ns + ">" + sharedStrings + "</sst>");
    return parts;
}

}  // namespace xlsxtest
