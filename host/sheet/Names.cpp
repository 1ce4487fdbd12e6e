#include "host/sheet/Names.h"

#include <algorithm>
#include <cctype>

#include "host/base/Text.h"
#include "host/formula/Address.h"
#include "host/sheet/Application.h"
#include "host/sheet/Calculator.h"
#include "host/sheet/NamedItems.h"
#include "host/sheet/Workbook.h"

namespace host::sheet {

void validateName(const std::string& name) {
    const bool startsWell = !name.empty() && (std::isalpha(static_cast<unsigned char>(name.front())) ||
                                              name.front() == '_' || name.front() == '\\' ||
                                              static_cast<unsigned char>(name.front()) >= 0x80);
    bool charsOk = startsWell;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '\\' ||
              static_cast<unsigned char>(c) >= 0x80))
            charsOk = false;
    bool looksLikeCell = false;
    try {
        looksLikeCell = !formula::parseAddress(name).empty();
    } catch (const RuntimeError&) {
    }
    if (!charsOk || looksLikeCell) throw RuntimeError(err::InvalidArgument, "The name that you entered is not valid.");
}

namespace {

void graphChanged(const std::weak_ptr<Workbook>& workbook) {
    if (auto book = workbook.lock()) book->structureChanged();
}

}  // namespace

Name::Name(std::weak_ptr<Workbook> workbook, std::string name, std::string refersTo)
    : workbook_(std::move(workbook)), name_(std::move(name)), refersTo_(std::move(refersTo)) {}

void Name::setRefersTo(std::string refersTo) {
    refersTo_ = std::move(refersTo);
    graphChanged(workbook_);
}

std::vector<formula::ReferenceTarget> Name::targets() const {
    std::string_view text = refersTo_;
    if (text.starts_with("=")) text.remove_prefix(1);
    try {
        return formula::parseAddress(text);
    } catch (const RuntimeError&) {
        return {};
    }
}

RangePtr Name::refersToRange() const {
    auto book = workbook_.lock();
    const auto found = targets();
    if (book && found.size() == 1 && found.front().workbook.empty()) {
        const auto& t = found.front();
        auto sheet = t.sheet.empty() ? book->activeSheet() : book->findSheet(t.sheet);
        if (sheet) return std::make_shared<Range>(sheet, std::vector<formula::Area>{t.area});
    }
    throw RuntimeError(err::InvalidArgument);
}

void Name::remove() {
    if (auto book = workbook_.lock()) book->names().remove(name_);
}

NamePtr Names::add(const std::string& name, const std::string& refersTo) {
    validateName(name);
    std::string text = refersTo.starts_with("=") ? refersTo : "=" + refersTo;
    if (auto existing = find(name)) {
        existing->setRefersTo(text);
        return existing;
    }
    names_.push_back(std::make_shared<Name>(workbook_, name, std::move(text)));
    graphChanged(workbook_);
    return names_.back();
}

NamePtr Names::add(const std::string& name, const RangePtr& refersTo) {
    return add(name, "=" + formula::sheetPrefix("", refersTo->parent()->name()) + refersTo->address());
}

NamePtr Names::find(const std::string& name) const { return findByName(names_, name); }

NamePtr Names::item(const std::string& name) const {
    if (auto n = find(name)) return n;
    throw RuntimeError(err::InvalidArgument);
}

NamePtr Names::item(int index) const { return itemAt(names_, index, err::InvalidArgument); }

void Names::remove(const std::string& name) {
    std::erase_if(names_, [&](const NamePtr& n) { return hasName(n, name); });
    graphChanged(workbook_);
}

}  // namespace host::sheet
