#pragma once
// Lookups shared by the collections of the object model (sheets, workbooks, names, properties):
// by name, letter case ignored, and by 1-based position.

#include <string_view>
#include <vector>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"

namespace host::sheet {

// Whether the item's name() is `name`, letter case ignored.
template <class Ptr>
bool hasName(const Ptr& item, std::string_view name) {
    return StrComp(item->name(), name, CompareMethod::Text) == 0;
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
