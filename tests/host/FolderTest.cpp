#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "host/base/Folder.h"
#include "support/Errors.h"
#include "support/TempFolder.h"

using testsupport::errorNumberOf;

TEST(Folder, ListsFilesByNameLeavingOutFoldersAndSpecialFiles) {
    testsupport::TempFolder folder;
    for (const char* name : {"b.par", "B.par", "a.txt", "ą.par"}) std::ofstream(folder.file(name)) << "x";
    std::filesystem::create_directory(folder.file("sub"));
    std::filesystem::create_directory_symlink(folder.file("sub"), folder.file("subLink"));
    std::filesystem::create_symlink(folder.file("a.txt"), folder.file("link.txt"));
    std::filesystem::create_symlink(folder.file("gone.txt"), folder.file("dangling.txt"));
    ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0600), 0);

    const std::vector<std::string> expected{"B.par", "a.txt", "b.par", "dangling.txt", "link.txt", "ą.par"};
    EXPECT_EQ(host::listFiles(folder.string()), expected);
    // The add-in's "\" separators and a trailing one are accepted.
    std::string windowsStyle = folder.string() + "\\";
    EXPECT_EQ(host::listFiles(windowsStyle), expected);
}

TEST(Folder, MissingFolderOrFileIsPathNotFound) {
    testsupport::TempFolder folder;
    std::ofstream(folder.file("f.txt")) << "x";
    EXPECT_EQ(errorNumberOf([&] { host::listFiles(folder.file("none")); }), 76);
    EXPECT_EQ(errorNumberOf([&] { host::listFiles(folder.file("f.txt")); }), 76);
}
