#include "host/sheet/SharedResults.h"

#include <algorithm>

namespace host::sheet {

namespace {

constexpr std::size_t kMaxEntries = 16;  // the oldest goes first

}  // namespace

Variant SharedResults::get(const void* function, std::vector<SheetArea> areas, const std::function<Variant()>& compute) {
    for (const Entry& e : entries_)
        if (e.function == function && e.areas == areas) return e.value;
    Variant value = compute();
    if (entries_.size() == kMaxEntries) entries_.erase(entries_.begin());
    entries_.push_back({function, std::move(areas), value});
    return value;
}

void SharedResults::dropReading(const Worksheet& sheet, const formula::Area& area) {
    std::erase_if(entries_, [&](const Entry& e) {
        return std::any_of(e.areas.begin(), e.areas.end(),
                           [&](const SheetArea& a) { return a.sheet == &sheet && a.area.overlaps(area); });
    });
}

}  // namespace host::sheet
