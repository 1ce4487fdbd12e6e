#include "host/sheet/ListObjects.h"

#include <algorithm>

#include "host/base/RuntimeError.h"
#include "host/sheet/NamedItems.h"
#include "host/sheet/Names.h"
#include "host/sheet/Workbook.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

using formula::Area;

namespace {

WorksheetPtr sheetOf(const std::weak_ptr<Worksheet>& sheet) {
    auto s = sheet.lock();
    if (!s || s->isRemoved()) throw RuntimeError(err::ObjectNotSet);
    return s;
}

// Whether any table of the sheet's workbook other than `except` is named `name`.
bool nameTaken(const Worksheet& sheet, std::string_view name, const ListObject* except) {
    auto book = sheet.parent();
    if (!book) return false;
    for (const auto& s : book->worksheets())
        for (const auto& table : s->listObjects().items())
            if (table.get() != except && hasName(table, name)) return true;
    return false;
}

}  // namespace

ListObjects& Worksheet::listObjects() {
    if (!listObjects_) listObjects_ = std::make_shared<ListObjects>(weak_from_this());
    return *listObjects_;
}

std::vector<ListObjectPtr> Worksheet::tables() const {
    return listObjects_ ? listObjects_->items() : std::vector<ListObjectPtr>{};
}

ListObject::ListObject(std::weak_ptr<Worksheet> sheet, std::string name, Area area)
    : sheet_(std::move(sheet)), name_(std::move(name)), area_(area) {}

void ListObject::setName(const std::string& name) {
    validateName(name);
    if (nameTaken(*sheetOf(sheet_), name, this))
        throw RuntimeError(err::InvalidArgument, "A table named '" + name + "' already exists.");
    name_ = name;
}

RangePtr ListObject::range() const { return std::make_shared<Range>(sheetOf(sheet_), std::vector<Area>{area_}); }

void ListObject::unlist() {
    auto& tables = sheetOf(sheet_)->listObjects().tables_;
    std::erase_if(tables, [this](const ListObjectPtr& t) { return t.get() == this; });
}

ListObjectPtr ListObjects::item(int index) const { return itemAt(tables_, index, err::SubscriptOutOfRange); }

ListObjectPtr ListObjects::item(std::string_view name) const {
    if (auto table = findByName(tables_, name)) return table;
    throw RuntimeError(err::SubscriptOutOfRange);
}

ListObjectPtr ListObjects::add(const RangePtr& source) {
    auto sheet = sheetOf(sheet_);
    if (!source || source->parent() != sheet) throw RuntimeError(err::InvalidArgument);
    const Area area = source->firstArea();
    for (const auto& table : tables_)
        if (table->area().overlaps(area))
            throw RuntimeError(err::InvalidArgument, "A table cannot overlap another table.");
    int n = 1;
    while (nameTaken(*sheet, "Table" + std::to_string(n), nullptr)) ++n;
    tables_.push_back(std::make_shared<ListObject>(sheet_, "Table" + std::to_string(n), area));
    return tables_.back();
}

}  // namespace host::sheet
