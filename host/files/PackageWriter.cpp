#include "host/files/PackageWriter.h"

#include <algorithm>

#include "host/files/Xml.h"

namespace host::files {

std::string relationshipType(const std::string& type) {
    return "http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type;
}

void PackageWriter::addPart(std::string name, std::string contentType, std::string content) {
    parts_.push_back({std::move(name), std::move(contentType), std::move(content)});
}

void PackageWriter::copyPart(std::string name, std::string contentType) {
    parts_.push_back({std::move(name), std::move(contentType), {}, true});
}

bool PackageWriter::hasPart(const std::string& name) const {
    return std::any_of(parts_.begin(), parts_.end(), [&](const Part& p) { return p.name == name; });
}

void PackageWriter::setRelationships(const std::string& source, std::vector<Relationship> relationships, bool asStored) {
    links_[source] = std::move(relationships);
    if (asStored) storedLinks_.insert(source);
    else storedLinks_.erase(source);
}

std::string PackageWriter::relate(const std::string& source, const std::string& type, const std::string& target) {
    storedLinks_.erase(source);
    auto& links = links_[source];
    std::string id;
    for (std::size_t n = links.size() + 1;; ++n) {
        id = "rId" + std::to_string(n);
        if (std::none_of(links.begin(), links.end(), [&](const Relationship& r) { return r.id == id; })) break;
    }
    Relationship link;
    link.id = id;
    link.type = relationshipType(type);
    link.written = target;
    links.push_back(std::move(link));
    return id;
}

void PackageWriter::addDefault(const std::string& extension, const std::string& contentType) {
    for (const auto& [e, type] : defaults_)
        if (e == extension) return;
    defaults_.emplace_back(extension, contentType);
}

std::string PackageWriter::contentTypesXml() const {
    pugi::xml_document document;
    auto types = document.append_child("Types");
    types.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/content-types";
    for (const auto& [extension, type] : defaults_) {
        auto d = types.append_child("Default");
        d.append_attribute("Extension") = extension.c_str();
        d.append_attribute("ContentType") = type.c_str();
    }
    for (const auto& part : parts_) {
        if (part.contentType.empty()) continue;
        auto o = types.append_child("Override");
        o.append_attribute("PartName") = ("/" + part.name).c_str();
        o.append_attribute("ContentType") = part.contentType.c_str();
    }
    return serialize(document);
}

std::string PackageWriter::relationshipsXml(const std::vector<Relationship>& links) {
    pugi::xml_document document;
    auto root = document.append_child("Relationships");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/relationships";
    for (const auto& link : links) {
        auto r = root.append_child("Relationship");
        r.append_attribute("Id") = link.id.c_str();
        r.append_attribute("Type") = link.type.c_str();
        r.append_attribute("Target") = link.written.c_str();
        if (link.external) r.append_attribute("TargetMode") = "External";
    }
    return serialize(document);
}

std::string PackageWriter::finish(const std::string& shownName) {
    ZipWriter zip;
    zip.add("[Content_Types].xml", contentTypesXml());
    for (const auto& [source, links] : links_) {
        const std::string part = Package::relationshipsPartOf(source);
        if (storedLinks_.contains(source) && source_->contains(part)) zip.copy(*source_, part);
        else if (!links.empty()) zip.add(part, relationshipsXml(links));
    }
    for (auto& part : parts_) {
        if (part.copied) zip.copy(*source_, part.name);
        else zip.add(part.name, std::move(part.content));
    }
    return zip.finish(shownName);
}

}  // namespace host::files
