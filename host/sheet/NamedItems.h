#pragma once
// Lookups shared by the collections of the object model (sheets, workbooks, names, properties):
// by name, letter case ignored, and by 1-based position.

#include <string_view>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace host::sheet {

// Whether two names are the same, letter case ignored; plain ASCII names are compared without the
// Unicode case folding, which gives them the same answer.
inline bool sameName(std::string_view a, std::string_view b) {
    const auto ascii = [](std::string_view s) {
        for (char c : s)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    };
    if (!ascii(a) || !ascii(b)) return StrComp(a, b, CompareMethod::Text) == 0;
    if (a.size() != b.size()) return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Whether the item's name() is `name`, letter case ignored.
template <class Ptr>
bool hasName(const Ptr& item, std::string_view name) {
    return sameName(item->name(), name);
}

// The first item named `name`, letter case ignored; nullptr when there is none.
template <class Ptr>
Ptr findByName(const std::vector<Ptr>& items, std::string_view name) {
    for (const Ptr& item : items)
        if (hasName(item, name)) return item;
    return nullptr;
}

// The item at a 1-based position; the run-time error `errorNumber` outside the collection.
template <class Ptr>
Ptr itemAt(const std::vector<Ptr>& items, int index, int errorNumber) {
    if (index < 1 || index > static_cast<int>(items.size())) throw RuntimeError(errorNumber);
    return items[index - 1];
}

}  // namespace host::sheet
