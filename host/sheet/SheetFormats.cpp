#include "host/sheet/SheetFormats.h"

namespace host::sheet {

void FormatBands::assign(int first, int last, const std::string& code, std::uint64_t stamp) {
    // A band that starts before first and reaches into the run keeps its part before first.
    auto it = bands_.lower_bound(first);
    if (it != bands_.begin()) {
        auto before = std::prev(it);
        if (before->second.last >= first) {
            Band tail = before->second;
            before->second.last = first - 1;
            if (tail.last > last) {
                tail.first = last + 1;
                bands_.emplace(tail.first, tail);
            }
        }
    }
    // Bands starting inside the run go; the last one keeps its part after last.
    it = bands_.lower_bound(first);
    while (it != bands_.end() && it->first <= last) {
        Band band = it->second;
        it = bands_.erase(it);
        if (band.last > last) {
            band.first = last + 1;
            bands_.emplace(band.first, band);
        }
    }
    if (!code.empty()) bands_.emplace(first, Band{first, last, code, stamp});
}

void FormatBands::remove(int first, int last) {
    const int removed = last - first + 1;
    assign(first, last, {}, 0);
    std::map<int, Band> moved;
    for (auto& [start, band] : bands_) {
        if (band.first > last) {
            band.first -= removed;
            band.last -= removed;
        }
        moved.emplace(band.first, band);
    }
    bands_ = std::move(moved);
}

const FormatBands::Band* FormatBands::find(int index) const {
    auto it = bands_.upper_bound(index);
    if (it == bands_.begin()) return nullptr;
    --it;
    return it->second.last >= index ? &it->second : nullptr;
}

std::vector<FormatBands::Band> FormatBands::bands() const {
    std::vector<Band> result;
    for (const auto& [start, band] : bands_) result.push_back(band);
    return result;
}

std::string SheetFormats::inherited(int row, int column) const {
    const FormatBands::Band* r = rows_.find(row);
    const FormatBands::Band* c = columns_.find(column);
    if (r && (!c || r->stamp > c->stamp)) return r->code;
    if (c) return c->code;
    return sheet_;
}

void SheetFormats::setSheet(const std::string& code) {
    rows_.clear();
    columns_.clear();
    sheet_ = code;
}

}  // namespace host::sheet
