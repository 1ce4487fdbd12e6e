#include "host/files/WorksheetReader.h"

#include <charconv>
#include <unordered_map>

#include "host/files/CellReference.h"
#include "host/files/CellStyles.h"
#include "host/files/FileError.h"
#include "host/files/RowRuns.h"
#include "host/files/CustomProperties.h"
#include "host/files/SharedStrings.h"
#include "host/files/SheetFormatsXml.h"
#include "host/files/Xml.h"
#include "host/files/XmlChunks.h"
#include "host/formula/Address.h"
#include "host/sheet/Comment.h"

namespace host::files {

namespace {

using formula::Formula;
using formula::ReferenceStyle;
using sheet::Cell;
using sheet::cellKey;

// The most cells the array formulas of a sheet read from a file may cover together: each is a cell
// of the sheet.
constexpr long long kMaxArrayFormulaCells = formula::kMaxRows;

class SheetReader {
public:
    SheetReader(const Package& package, const std::string& part, const WorkbookParts& shared, sheet::Worksheet& sheet)
        : package_(package), part_(part), shared_(shared), sheet_(sheet) {}

    void read(StoredSheet& kept) {
        const auto text = package_.read(part_);
        if (!text) fail("the part '" + part_ + "' is missing");
        auto layout = splitXml(*text, "sheetData");
        XmlChunk* data = layout ? layout->find("sheetData") : nullptr;
        pugi::xml_document document;
        if (data && cutsIntoRuns(data->text)) {
            // The cells are parsed a run of rows at a time, so that a large sheet never stands whole as
            // a document; the rest of the part is parsed without them.
            const std::size_t size = data->text.size();
            const std::size_t offset = text->size() - layout->tail.size() - textAfter(*layout, *data) - size;
            data->text.clear();
            data->text.shrink_to_fit();
            reserveCells(*layout, size);
            readRowsInRuns(std::string_view(*text).substr(offset, size), offset);
            package_.parse(document, layout->text(), part_);
        } else {
            package_.parse(document, *text, part_);
            for (auto r : child(child(document, "worksheet"), "sheetData").children()) readRow(r);
        }
        const auto worksheet = child(document, "worksheet");
        if (!worksheet) fail("the part '" + part_ + "' holds no worksheet");
        for (const auto& area : arrays_)
            for (int r = area.top; r <= area.bottom; ++r)
                for (int c = area.left; c <= area.right; ++c) sheet_.cellAt(r, c).array = area;
        readSheetFormats(worksheet, shared_.cellFormats, sheet_);
        kept.formatsAsRead = sheet_.formats();
        kept.part = part_;
        kept.relationships = package_.relationships(part_);
        if (auto comments = Package::findByType(kept.relationships, "/comments")) readComments(comments->target);
        if (data) {
            data->text.clear();  // the cells are written from the sheet
            kept.xml = std::move(*layout);
        }
    }

private:
    [[noreturn]] void fail(const std::string& what) const { package_.fail(what); }

    std::string place(int row, int column) const {
        return formula::sheetPrefix("", sheet_.name()) + cellReference(row, column);
    }

    // Makes room for the cells of the area the part gives as its used one, no more than its cells' text
    // can hold (the shortest cell takes about 20 bytes).
    void reserveCells(const XmlChunks& layout, std::size_t sheetDataSize) {
        const XmlChunk* dimension = layout.find("dimension");
        const auto ref = dimension ? tagAttribute(dimension->text, "dimension", "ref") : std::nullopt;
        const auto area = ref ? parseAreaReference(*ref) : std::nullopt;
        if (area) sheet_.reserveCells(std::min(static_cast<std::size_t>(area->cellCount()), sheetDataSize / 20));
    }

    // The length of the layout's text from the chunk's end to the root's end tag.
    static std::size_t textAfter(const XmlChunks& layout, const XmlChunk& chunk) {
        std::size_t after = 0;
        for (auto c = layout.children.rbegin(); &*c != &chunk; ++c) after += c->text.size();
        return after;
    }

    // Reads the rows of a sheetData element (its whole text, at `offset` of the part) a run at a time.
    void readRowsInRuns(std::string_view sheetData, std::size_t offset) {
        RowRunParser runs(package_, part_, sheetData, offset);
        while (const auto run = runs.next())
            for (auto r : run->children()) readRow(r);
    }

    void readRow(const pugi::xml_node& r) {
        if (localName(r) != "row") return;
        row_ = r.attribute("r") ? r.attribute("r").as_int() : row_ + 1;
        if (row_ < 1 || row_ > formula::kMaxRows) fail("the row number '" + std::string(r.attribute("r").value()) + "' is out of range");
        keepRowAttributes(r, row_);
        readRowFormat(r, shared_.cellFormats, sheet_);
        int column = 0;
        for (auto c : r.children()) {
            if (localName(c) != "c") continue;
            column = cellColumn(c, row_, column);
            readCell(c, row_, column);
        }
    }

    int cellColumn(const pugi::xml_node& c, int row, int previous) const {
        const auto r = c.attribute("r");
        if (!r) {
            if (previous >= formula::kMaxColumns)
                fail("a cell of row " + std::to_string(row) + " follows " + place(row, previous) + ", past the last column");
            return previous + 1;
        }
        const auto position = parseCellReference(r.value());
        if (!position || position->row != row) fail("the cell reference '" + std::string(r.value()) + "' is not valid in row " + std::to_string(row));
        return position->column;
    }

    // The row's attributes other than its number and the span of its cells, which the writer gives.
    void keepRowAttributes(const pugi::xml_node& r, int row) {
        std::string attributes;
        for (auto a : r.attributes()) {
            const std::string_view name = a.name();
            if (name == "r" || name == "spans") continue;
            attributes += ' ';
            attributes += name;
            attributes += "=\"";
            attributes += escapeXml(a.value());
            attributes += '"';
        }
        if (!attributes.empty()) sheet_.rowAttributes[row] = std::move(attributes);
    }

    void readCell(const pugi::xml_node& c, int row, int column) {
        const std::string_view type = c.attribute("t").value();
        const auto style = c.attribute("s").as_uint();
        const std::string* format = nullptr;
        if (style < shared_.cellFormats.size() && !shared_.cellFormats[style].empty()) format = &shared_.cellFormats[style];
        const auto f = child(c, "f");
        const auto v = child(c, "v");
        if (!f && !v && type != "inlineStr" && style == 0) return;
        Cell& cell = sheet_.cellAt(row, column);
        cell.style = style;
        if (format) cell.numberFormat = *format;
        cell.value = value(c, type, v, format, row, column);
        if (f) readFormula(f, cell, row, column, cell.value.isEmpty());
    }

    Variant value(const pugi::xml_node& c, std::string_view type, const pugi::xml_node& v, const std::string* format,
                  int row, int column) const {
        if (type == "inlineStr") return richText(child(c, "is"));
        if (!v) return {};
        const std::string_view text = v.text().get();
        if (type == "s") {
            unsigned index = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), index);
            if (ec != std::errc() || end != text.data() + text.size() || index >= shared_.sharedStrings.size())
                fail("the cell " + place(row, column) + " names the shared text '" + std::string(text) + "', which does not exist");
            return shared_.sharedStrings[index];
        }
        if (type == "str") return decodeEscapes(text);
        if (type == "b") return text == "1" || text == "true";
        if (type == "e") return parseCellError(text).value_or(CellError::Value);
        if (type == "d") {
            if (auto serial = parseIsoDate(text)) return Date{*serial};
            fail("the cell " + place(row, column) + " holds '" + std::string(text) + "', which is no date");
        }
        if (text.empty()) return {};
        double number = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (ec != std::errc() || end != text.data() + text.size())
            fail("the cell " + place(row, column) + " holds '" + std::string(text) + "', which is no number");
        if (format && isDateFormatCode(*format)) return Date{number};
        return number;
    }

    void readFormula(const pugi::xml_node& f, Cell& cell, int row, int column, bool withoutValue) {
        const std::string_view kind = f.attribute("t").value();
        const std::string text = f.text().get();
        std::shared_ptr<const Formula> parsed;
        if (kind == "shared") {
            parsed = sharedFormula(f, text, row, column);
        } else if (kind == "array") {
            const auto area = parseAreaReference(f.attribute("ref").value());
            if (!area || !area->contains(row, column))
                fail("the array formula of " + place(row, column) + " has the range '" + f.attribute("ref").value() + "'");
            arrayCells_ += area->cellCount();
            if (arrayCells_ > kMaxArrayFormulaCells)
                fail("the array formula of " + place(row, column) + " covers " + f.attribute("ref").value() +
                     ": the sheet's array formulas would cover more cells than a whole column");
            arrays_.push_back(*area);
            parsed = parse(text, ReferenceStyle::A1, row, column);
        } else if (kind.empty() || kind == "normal") {
            if (!text.empty()) parsed = parse(text, ReferenceStyle::A1, row, column);
        }
        if (!parsed) return;
        cell.formula = std::move(parsed);
        const auto key = cellKey(row, column);
        sheet_.noteFormula(key, true);
        if (withoutValue) sheet_.calcState().dirty.insert(key);
    }

    // A member of a group of shared formulas: the group's first cell holds the text, the others take
    // it with their relative references moved along.
    std::shared_ptr<const Formula> sharedFormula(const pugi::xml_node& f, const std::string& text, int row, int column) {
        const std::string index = f.attribute("si").value();
        if (!text.empty()) {
            auto master = parse(text, ReferenceStyle::A1, row, column);
            sharedR1C1_[index] = master->toText(ReferenceStyle::R1C1, row, column);
            return master;
        }
        const auto it = sharedR1C1_.find(index);
        if (it == sharedR1C1_.end())
            fail("the cell " + place(row, column) + " shares formula " + index + ", which was not given before");
        return parse(it->second, ReferenceStyle::R1C1, row, column);
    }

    std::shared_ptr<const Formula> parse(const std::string& text, ReferenceStyle style, int row, int column) const {
        try {
            if (shared_.externalBooks.empty()) return std::make_shared<const Formula>(Formula::parse(text, style, row, column));
            return std::make_shared<const Formula>(Formula::parse(withBookPaths(text, shared_.externalBooks), style, row, column));
        } catch (const RuntimeError& e) {
            fail("the formula '=" + excerpt(text) + "' in " + place(row, column) + " does not parse (" + e.description() + ")");
        }
    }

    void readComments(const std::string& part) {
        pugi::xml_document document;
        package_.loadRequired(document, part);
        const auto comments = child(document, "comments");
        std::vector<std::string> authors;
        for (auto a : child(comments, "authors").children())
            if (localName(a) == "author") authors.push_back(decodeEscapes(a.text().get()));
        for (auto c : child(comments, "commentList").children()) {
            if (localName(c) != "comment") continue;
            const auto position = parseCellReference(c.attribute("ref").value());
            if (!position) fail("a comment of '" + part + "' names the cell '" + c.attribute("ref").value() + "'");
            const auto author = c.attribute("authorId").as_uint();
            sheet_.cellAt(position->row, position->column).comment = std::make_shared<sheet::Comment>(
                sheet_.weak_from_this(), position->row, position->column, richText(child(c, "text")),
                author < authors.size() ? authors[author] : std::string());
        }
    }

    const Package& package_;
    const std::string& part_;
    const WorkbookParts& shared_;
    sheet::Worksheet& sheet_;
    int row_ = 0;  // the row read last
    std::vector<formula::Area> arrays_;
    long long arrayCells_ = 0;
    std::unordered_map<std::string, std::string> sharedR1C1_;  // shared formula index -> R1C1 text
};

}  // namespace

void readWorksheet(const Package& package, const std::string& part, const WorkbookParts& shared, sheet::Worksheet& sheet,
                   StoredSheet& kept) {
    SheetReader(package, part, shared, sheet).read(kept);
}

}  // namespace host::files
