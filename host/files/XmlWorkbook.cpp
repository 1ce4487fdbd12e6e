#include "host/files/XmlWorkbook.h"

#include <pugixml.hpp>

#include <filesystem>

#include "host/base/Text.h"
#include "host/files/FileError.h"
#include "host/files/SpreadsheetXml.h"
#include "host/files/XlsxReader.h"
#include "host/files/Xml.h"
#include "host/files/XmlRecords.h"

namespace host::files {

namespace {

constexpr long kMaxSheetNameLength = 31;

// The file's name without folder and extension, made into a sheet name: the characters a sheet name
// cannot hold become "_", apostrophes at either end go, and it is cut to 31 characters.
std::string sheetNameFor(const std::string& path) {
    std::string name = std::filesystem::path(path).stem().string();
    for (char& c : name)
        if (std::string_view(":\\/?*[]").find(c) != std::string_view::npos) c = '_';
    name = Left(name, kMaxSheetNameLength);
    while (!name.empty() && name.front() == '\'') name.erase(0, 1);
    while (!name.empty() && name.back() == '\'') name.pop_back();
    return name.empty() ? std::string("Sheet1") : name;
}

void load(pugi::xml_document& document, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) failNotFound(path);
    const auto result = document.load_file(path.c_str(), pugi::parse_default | pugi::parse_ws_pcdata_single);
    if (result.status == pugi::status_io_error || result.status == pugi::status_file_not_found ||
        result.status == pugi::status_out_of_memory)
        failRead(path, result.description());
    if (!result)
        failRead(path, "it is not well-formed XML (" + std::string(result.description()) + " at byte " +
                           std::to_string(result.offset) + ")");
    if (elementDepth(document) > kMaxXmlDepth)
        failRead(path, "it nests its elements more than " + std::to_string(kMaxXmlDepth) + " deep");
}

}  // namespace

bool isXmlFileName(const std::string& path) { return StrComp(Right(path, 4), ".xml", CompareMethod::Text) == 0; }

sheet::WorkbookPtr readXmlWorkbook(sheet::Application& application, const std::string& path) {
    pugi::xml_document document;
    load(document, path);
    const auto root = document.document_element();
    auto book = workbookForFile(application, path);
    if (isSpreadsheetXml(root)) {
        readSpreadsheetXml(root, path, *book);
    } else {
        auto sheet = book->addSheet(nullptr, nullptr, sheetNameFor(path));
        readXmlRecords(root, path, *sheet);
        book->setActiveSheet(sheet);
    }
    finishReading(*book);
    return book;
}

}  // namespace host::files
