#include "host/files/RowRuns.h"

#include <algorithm>

namespace host::files {

namespace {

constexpr std::size_t kRunsAhead = 2;
constexpr int kRowDepth = 2;  // worksheet, sheetData

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool cutsIntoRuns(std::string_view sheetData) {
    return sheetData.find("<!") == std::string_view::npos && sheetData.find("<?") == std::string_view::npos;
}

std::vector<TextRun> rowRuns(std::string_view sheetData, std::size_t runSize) {
    std::vector<TextRun> runs;
    const std::size_t open = sheetData.find('>') + 1;
    if (open < 2 || sheetData[open - 2] == '/') return runs;  // <sheetData/>
    const std::string_view name = sheetData.substr(1, std::min(sheetData.find_first_of(" \t\r\n/>"), open) - 1);
    const auto colon = name.find(':');
    const std::string rowEnd = "</" + std::string(name.substr(0, colon == std::string_view::npos ? 0 : colon + 1)) + "row";
    const std::size_t close = sheetData.rfind("</");
    for (std::size_t start = open; start < close;) {
        std::size_t cut = close;
        for (std::size_t at = sheetData.find(rowEnd, std::min(start + runSize, close)); at < close;
             at = sheetData.find(rowEnd, at + 1)) {
            const char next = sheetData[at + rowEnd.size()];
            if (next == '>' || isBlank(next)) {
                cut = sheetData.find('>', at) + 1;
                break;
            }
        }
        runs.push_back({start, cut - start});
        start = cut;
    }
    return runs;
}

RowRunParser::RowRunParser(const Package& package, const std::string& part, std::string_view sheetData, std::size_t offset)
    : package_(package), part_(part), text_(sheetData), offset_(offset), runs_(rowRuns(sheetData)),
      worker_([this] { parseAll(); }) {}

RowRunParser::~RowRunParser() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

std::unique_ptr<pugi::xml_document> RowRunParser::next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || failure_ || done_; });
    if (!ready_.empty()) {
        auto document = std::move(ready_.front());
        ready_.pop_front();
        changed_.notify_all();
        return document;
    }
    if (failure_) std::rethrow_exception(failure_);
    return nullptr;
}

void RowRunParser::parseAll() {
    for (const TextRun& run : runs_) {
        auto document = std::make_unique<pugi::xml_document>();
        std::exception_ptr failure;
        try {
            package_.parseFragment(*document, text_.substr(run.start, run.size), offset_ + run.start, kRowDepth, part_);
        } catch (...) {
            failure = std::current_exception();
        }
        std::unique_lock lock(mutex_);
        if (failure) {
            failure_ = failure;
            changed_.notify_all();
            return;
        }
        changed_.wait(lock, [&] { return ready_.size() < kRunsAhead || stop_; });
        if (stop_) return;
        ready_.push_back(std::move(document));
        changed_.notify_all();
    }
    const std::lock_guard lock(mutex_);
    done_ = true;
    changed_.notify_all();
}

}  // namespace host::files
