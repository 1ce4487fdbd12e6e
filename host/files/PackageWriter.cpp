#include "host/files/PackageWriter.h"

#include "host/files/SaveTarget.h"
#include "host/files/Xml.h"
#include "host/files/Zip.h"

namespace host::files {

namespace {

constexpr const char* kRelationshipTypeBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string relationshipsPartOf(const std::string& source) {
    const auto slash = source.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    return folder + "_rels/" + source.substr(folder.size()) + ".rels";
}

}  // namespace

void PackageWriter::addPart(std::string name, std::string contentType, std::string content) {
    parts_.push_back({std::move(name), std::move(contentType), std::move(content)});
}

std::string PackageWriter::relate(const std::string& source, const std::string& type, const std::string& target) {
    auto& links = links_[source];
    links.push_back({"rId" + std::to_string(links.size() + 1), type, target});
    return links.back().id;
}

std::string PackageWriter::contentTypesXml() const {
    pugi::xml_document document;
    auto types = document.append_child("Types");
    types.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/content-types";
    auto addDefault = [&](const char* extension, const char* type) {
        auto d = types.append_child("Default");
        d.append_attribute("Extension") = extension;
        d.append_attribute("ContentType") = type;
    };
    addDefault("rels", "application/vnd.openxmlformats-package.relationships+xml");
    addDefault("xml", "application/xml");
    addDefault("vml", "application/vnd.openxmlformats-officedocument.vmlDrawing");
    for (const auto& part : parts_) {
        if (part.contentType.empty()) continue;
        auto o = types.append_child("Override");
        o.append_attribute("PartName") = ("/" + part.name).c_str();
        o.append_attribute("ContentType") = part.contentType.c_str();
    }
    return serialize(document);
}

std::string PackageWriter::relationshipsXml(const std::vector<Link>& links) {
    pugi::xml_document document;
    auto root = document.append_child("Relationships");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/relationships";
    for (const auto& link : links) {
        auto r = root.append_child("Relationship");
        r.append_attribute("Id") = link.id.c_str();
        r.append_attribute("Type") = (kRelationshipTypeBase + link.type).c_str();
        r.append_attribute("Target") = link.target.c_str();
    }
    return serialize(document);
}

FileStamp PackageWriter::write(const std::string& path, const std::optional<FileStamp>& unchangedSince) const {
    ZipWriter zip;
    zip.add("[Content_Types].xml", contentTypesXml());
    for (const auto& [source, links] : links_) zip.add(relationshipsPartOf(source), relationshipsXml(links));
    for (const auto& part : parts_) zip.add(part.name, part.content);
    return saveFile(path, zip.finish(path), unchangedSince);
}

}  // namespace host::files
