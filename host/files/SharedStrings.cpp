#include "host/files/SharedStrings.h"

#include <sstream>

#include "host/files/Xml.h"
#include "host/files/XmlChunks.h"

namespace host::files {

std::string richText(const pugi::xml_node& item) {
    std::string text;
    for (auto part = item.first_child(); part; part = part.next_sibling()) {
        const auto name = localName(part);
        if (name == "t") text += part.text().get();
        else if (name == "r") text += child(part, "t").text().get();
    }
    return decodeEscapes(text);
}

std::vector<std::string> readSharedStrings(const Package& package, const std::string& part) {
    std::vector<std::string> result;
    pugi::xml_document document;
    if (part.empty() || !package.load(document, part)) return result;
    for (auto si : child(document, "sst").children())
        if (localName(si) == "si") result.push_back(richText(si));
    return result;
}

SharedStringTable::SharedStringTable(const std::vector<std::string>& kept) : kept_(kept.size()) {
    texts_.reserve(kept.size());
    index_.reserve(kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) texts_.push_back(&index_.emplace(kept[i], static_cast<int>(i)).first->first);
}

int SharedStringTable::indexOf(const std::string& text) {
    auto [it, added] = index_.emplace(text, static_cast<int>(texts_.size()));
    if (added) texts_.push_back(&it->first);
    return it->second;
}

void appendText(pugi::xml_node parent, const std::string& text) {
    auto t = parent.append_child("t");
    if (!text.empty() && (text.front() == ' ' || text.back() == ' ' || text.find_first_of("\t\n\r") != std::string::npos))
        t.append_attribute("xml:space") = "preserve";
    t.text() = encodeEscapes(text).c_str();
}

std::string SharedStringTable::xml(const std::string& keptPart) const {
    const auto end = keptPart.rfind("</");
    if (!keptPart.empty() && !added()) return keptPart;
    if (kept_ > 0 && end != std::string::npos) {
        // The file's items stay as they are; the new ones follow them.
        pugi::xml_document items;
        auto root = items.append_child("sst");
        for (std::size_t i = kept_; i < texts_.size(); ++i) appendText(root.append_child("si"), *texts_[i]);
        std::ostringstream added;
        for (auto si : root.children()) si.print(added, "", pugi::format_raw);
        std::string text = keptPart.substr(0, end) + added.str() + keptPart.substr(end);
        setTagAttribute(text, "sst", "uniqueCount", std::to_string(texts_.size()));
        setTagAttribute(text, "sst", "count", std::nullopt);  // a count of references, which is optional
        return text;
    }
    pugi::xml_document document;
    auto sst = document.append_child("sst");
    sst.append_attribute("xmlns") = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    sst.append_attribute("count") = static_cast<int>(texts_.size());
    sst.append_attribute("uniqueCount") = static_cast<int>(texts_.size());
    for (const auto* text : texts_) appendText(sst.append_child("si"), *text);
    return serialize(document);
}

}  // namespace host::files
