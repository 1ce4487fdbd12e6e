#pragma once
// The rows of a worksheet part's sheetData element, cut into runs of about a megabyte after row end
// tags and parsed a run at a time on a thread of their own, a few runs ahead of the reader: a large
// sheet never stands whole as one document, and parsing overlaps with storing the cells.

#include <pugixml.hpp>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/files/Package.h"

namespace host::files {

struct TextRun {
    std::size_t start = 0;  // in the sheetData element's text
    std::size_t size = 0;
};

// Whether the rows can be cut apart at their end tags: nothing among them (comments, character data,
// processing instructions) may hold a text that looks like one.
bool cutsIntoRuns(std::string_view sheetData);
// The runs of rows of a sheetData element's text (the element, with the blanks after it); none for an
// empty element.
std::vector<TextRun> rowRuns(std::string_view sheetData, std::size_t runSize = std::size_t{1} << 20);

class RowRunParser {
public:
    // Parses the runs of `sheetData`, which lies at `offset` of the part, with the checks of
    // Package::parseFragment. The text must outlive the parser.
    RowRunParser(const Package& package, const std::string& part, std::string_view sheetData, std::size_t offset);
    ~RowRunParser();
    RowRunParser(const RowRunParser&) = delete;
    RowRunParser& operator=(const RowRunParser&) = delete;

    // The next run's rows as a document, in order; nullptr after the last. Raises what parsing the
    // run raised.
    std::unique_ptr<pugi::xml_document> next();

private:
    void parseAll();

    const Package& package_;
    const std::string& part_;
    std::string_view text_;
    std::size_t offset_;
    std::vector<TextRun> runs_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<pugi::xml_document>> ready_;
    std::exception_ptr failure_;
    bool done_ = false;
    bool stop_ = false;
    std::thread worker_;  // last: starts once everything above is there
};

}  // namespace host::files
