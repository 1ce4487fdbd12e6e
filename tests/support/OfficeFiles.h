#pragma once
// Workbook files made and read by other programs: Python scripts with openpyxl and LibreOffice
// Calc run headless, each with a profile of its own so that tests running at the same time do not
// share one.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Runs a command; its standard output and error, with the exit status.
inline std::pair<int, std::string> runCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, output};
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    return {pclose(pipe), output};
}

// Runs a Python script (given as text) with the system interpreter and the arguments (quoted here);
// gives what it printed and fails the test when it fails.
inline std::string python(const std::string& folder, const std::string& script, const std::vector<std::string>& arguments) {
    const std::string path = folder + "/script.py";
    std::ofstream(path) << script;
    std::string command = "/usr/bin/python3 '" + path + "'";
    for (const auto& a : arguments) command += " '" + a + "'";
    const auto [status, output] = runCommand(command);
    EXPECT_EQ(status, 0) << output;
    return output;
}

// Converts a file with LibreOffice Calc ("xlsx", "csv") into the folder; gives the converted file's
// path. The first sheet of a workbook is what a csv file holds.
inline std::string officeConvert(const std::string& file, const std::string& format, const std::string& folder) {
    const std::string profile = folder + "/office-profile";
    const auto [status, output] = runCommand("soffice -env:UserInstallation=file://" + profile +
                                             " --headless --convert-to " + format + " --outdir '" + folder + "' '" +
                                             file + "'");
    const std::string converted = folder + "/" + std::filesystem::path(file).stem().string() + "." + format;
    EXPECT_TRUE(status == 0 && std::filesystem::exists(converted)) << output;
    return converted;
}

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testsupport
