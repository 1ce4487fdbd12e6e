#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/Errors.h"
#include "support/TempFolder.h"

#include "host/base/FolderTree.h"

using testsupport::errorNumberOf;
namespace fs = std::filesystem;

TEST(FolderTree, FilesFirstThenSubfoldersInNameOrderWithoutFollowingLinks) {
    testsupport::TempFolder root{"telm-tree"};
    for (const char* f : {"b.txt", "a.txt", "z/1", "m/y/2", "m/x"}) {
        fs::create_directories((root.path() / f).parent_path());
        std::ofstream(root.path() / f) << "12345";
    }
    fs::create_directory_symlink(root.path(), root.path() / "m" / "up");
    fs::create_symlink(root.path() / "a.txt", root.path() / "c-link.txt");
    const auto files = host::listFileTree(root.string() + "/", 100);
    std::vector<std::string> paths;
    for (const auto& f : files) paths.push_back((fs::path(f.folder) / f.name).lexically_relative(root.path()).string());
    EXPECT_EQ(paths, (std::vector<std::string>{"a.txt", "b.txt", "c-link.txt", "m/x", "m/y/2", "z/1"}));
    EXPECT_EQ(files[0].folder, root.string());
    EXPECT_EQ(files[0].size, 5u);
    EXPECT_GT(files[0].modified, 40000.0);
    EXPECT_EQ(host::listFileTree(root.string(), 2).size(), 2u);
    EXPECT_TRUE(host::isFolder(root.string()));
    // A name in another code page comes back as text.
    testsupport::TempFolder odd{"telm-tree-odd"};
    std::ofstream(odd.path() / "r\xEAport.txt") << "";
    EXPECT_EQ(host::listFileTree(odd.string(), 10).at(0).name, "r\uFFFDport.txt");
    EXPECT_FALSE(host::isFolder(root.file("a.txt")));
    EXPECT_EQ(errorNumberOf([&] { host::listFileTree(root.file("a.txt"), 10); }), 76);
    EXPECT_EQ(errorNumberOf([&] { host::listFileTree(root.file("missing"), 10); }), 76);
}
