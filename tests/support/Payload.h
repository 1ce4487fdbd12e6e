#pragma once
// A native library built by the test whose constructor writes a marker file: if the marker appears,
// something loaded the library.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "support/TempFolder.h"

namespace testsupport {

struct Payload {
    TempFolder folder{"telm-payload"};
    std::string library = folder.file("payload.so");
    std::string marker = folder.file("loaded");

    Payload() {
        std::ofstream(folder.file("payload.c"))
            << "#include <stdio.h>\n__attribute__((constructor)) static void mark(void) {\n"
               "  FILE* f = fopen(\"" << marker << "\", \"w\"); if (f) { fputs(\"loaded\", f); fclose(f); }\n}\n";
        const std::string build = "cc -shared -fPIC -o " + library + " " + folder.file("payload.c");
        if (std::system(build.c_str()) != 0) throw std::runtime_error("cannot build the payload library");
    }
    bool loaded() const { return std::filesystem::exists(marker); }
};

}  // namespace testsupport
