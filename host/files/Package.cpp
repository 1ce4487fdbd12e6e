#include "host/files/Package.h"

#include "host/files/FileError.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

// A relationship target relative to the folder of its source part, with "." and ".." resolved.
std::string resolveTarget(const std::string& sourceFolder, const std::string& target) {
    const std::string joined = target.starts_with("/") ? target.substr(1) : sourceFolder + target;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const auto slash = joined.find('/', start);
        const std::string piece = joined.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    std::string result;
    for (const auto& p : parts) result += (result.empty() ? "" : "/") + p;
    return result;
}

}  // namespace

std::string Package::folderOf(const std::string& part) {
    const auto slash = part.find_last_of('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string Package::relationshipsPartOf(const std::string& part) {
    const std::string folder = folderOf(part);
    return folder + "_rels/" + part.substr(folder.size()) + ".rels";
}

bool Package::load(pugi::xml_document& document, const std::string& part) const {
    const auto content = zip_.read(part);
    if (!content) return false;
    parse(document, *content, part);
    return true;
}

void Package::parse(pugi::xml_document& document, const std::string& text, const std::string& part) const {
    parseFragment(document, text, 0, 0, part);
}

void Package::parseFragment(pugi::xml_document& document, std::string_view text, std::size_t offset, int depth,
                            const std::string& part) const {
    const auto options = pugi::parse_default | pugi::parse_ws_pcdata_single | (depth > 0 ? pugi::parse_fragment : 0);
    const auto result = document.load_buffer(text.data(), text.size(), options);
    if (!result)
        fail("the part '" + part + "' is not well-formed XML (" + result.description() + " at byte " +
             std::to_string(offset + static_cast<std::size_t>(result.offset)) + ")");
    if (depth + elementDepth(document) > kMaxXmlDepth)
        fail("the part '" + part + "' nests its elements more than " + std::to_string(kMaxXmlDepth) + " deep");
}

void Package::loadRequired(pugi::xml_document& document, const std::string& part) const {
    if (!load(document, part)) fail("the part '" + part + "' is missing");
}

std::vector<Relationship> Package::relationships(const std::string& part) const {
    const std::string folder = folderOf(part);
    pugi::xml_document document;
    std::vector<Relationship> result;
    if (!load(document, relationshipsPartOf(part))) return result;
    for (auto r : child(document, "Relationships").children()) {
        if (localName(r) != "Relationship") continue;
        Relationship rel;
        rel.id = r.attribute("Id").value();
        rel.type = r.attribute("Type").value();
        rel.external = std::string_view(r.attribute("TargetMode").value()) == "External";
        rel.written = r.attribute("Target").value();
        rel.target = rel.external ? rel.written : resolveTarget(folder, rel.written);
        result.push_back(std::move(rel));
    }
    return result;
}

const Relationship* Package::findByType(const std::vector<Relationship>& relationships, std::string_view typeEnd) {
    for (const auto& r : relationships)
        if (std::string_view(r.type).ends_with(typeEnd)) return &r;
    return nullptr;
}

const Relationship* Package::findById(const std::vector<Relationship>& relationships, std::string_view id) {
    for (const auto& r : relationships)
        if (r.id == id) return &r;
    return nullptr;
}

void Package::fail(const std::string& what) const { failRead(path(), what); }

}  // namespace host::files
