#include "batch/TextConverterDefinition.h"

#include <filesystem>

#include "core/F_Pomocnicze.h"
#include "host/base/Folder.h"
#include "host/base/Path.h"
#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/Range.h"

namespace telm {

namespace {

constexpr int kFirstRow = 3;
constexpr int kLastKeyRow = 1000;

// The name matches the pattern of * (any run) and ? (one character), letter case as written.
bool matches(std::string_view name, std::string_view pattern) {
    std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

host::Variant fieldValue(const std::string& text, const ConverterField& field) {
    const std::string trimmed = host::Trim(text);
    if (trimmed.empty()) return host::Variant::null();
    if (!field.number) return trimmed;
    std::string digits = host::Replace(host::Replace(trimmed, " ", ""), "\xC2\xA0", "");
    if (digits.find('.') == std::string::npos) digits = host::Replace(digits, ",", ".");
    if (auto number = host::parseNumber(digits)) return *number;
    throw host::RuntimeError(13, "The field '" + field.name + "' holds '" + trimmed + "', which is no number.");
}

}  // namespace

TextConverterDefinition ReadConverterDefinition(host::sheet::Worksheet& sheet) {
    if (sheet.range("A1")->value() != host::Variant(kTextConverterMark))
        throw host::RuntimeError(13, "no converter definition");
    TextConverterDefinition d;
    int row = kFirstRow;
    for (; row <= kLastKeyRow; ++row) {
        const std::string key = host::UCase(host::Trim(sheet.cells(row, 1)->value().toString()));
        const host::Variant value = sheet.cells(row, 2)->value();
        if (key == "FIELDS") break;
        if (key == "FILE") d.file = value.toString();
        else if (key == "DELIMITER") d.delimiter = host::UCase(value.toString()) == "TAB" ? "\t" : value.toString();
        else if (key == "SKIPROWS") d.skipRows = value.isEmpty() ? 0 : value.toLong();
        else if (key == "TABLE") d.table = value.toString();
        else if (key == "CONNECTION") d.connection = value.toString();
    }
    for (++row;; ++row) {
        const std::string name = host::Trim(sheet.cells(row, 1)->value().toString());
        if (name.empty()) break;
        const host::Variant width = sheet.cells(row, 2)->value();
        d.fields.push_back({name, width.isEmpty() ? 0 : width.toLong(),
                            host::UCase(host::Trim(sheet.cells(row, 3)->value().toString())) == "NUMBER"});
    }
    if (d.fields.empty()) throw host::RuntimeError(13, "no fields");
    return d;
}

std::vector<std::string> MatchingFiles(const std::string& pattern) {
    const std::string path = host::nativePath(ReplaceFolderPlaceholder(pattern));
    const auto cut = path.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : path.substr(0, cut == 0 ? 1 : cut);
    const std::string namePattern = cut == std::string::npos ? path : path.substr(cut + 1);
    std::vector<std::string> files;
    try {
        for (const auto& name : host::listFiles(folder))
            if (matches(name, namePattern)) files.push_back((std::filesystem::path(folder) / name).string());
    } catch (const host::RuntimeError&) {
        // a missing folder matches nothing
    }
    return files;
}

std::vector<host::Variant> SplitListingLine(const std::string& line, const TextConverterDefinition& d) {
    std::vector<host::Variant> values;
    if (!d.delimiter.empty()) {
        const auto pieces = host::Split(line, d.delimiter);
        for (std::size_t i = 0; i < d.fields.size(); ++i)
            values.push_back(fieldValue(i < pieces.size() ? pieces[i] : std::string(), d.fields[i]));
        return values;
    }
    long start = 1;
    for (const auto& field : d.fields) {
        values.push_back(fieldValue(field.width > 0 ? host::Mid(line, start, field.width) : host::Mid(line, start), field));
        start += field.width;
    }
    return values;
}

}  // namespace telm
