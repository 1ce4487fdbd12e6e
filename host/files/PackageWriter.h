#pragma once
// A workbook package being written: parts with their content types and the relationships between
// them; the content-types part and the relationship parts are made from these. Parts of the package
// the workbook was read from can be copied as they are stored there.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/files/Package.h"
#include "host/files/Zip.h"

namespace host::files {

class PackageWriter {
public:
    // source: the package the workbook was read from, for copied parts; nullptr for none.
    explicit PackageWriter(const ZipReader* source = nullptr) : source_(source) {}

    // Adds a part ("xl/workbook.xml") with its content type ("" when the extension's default applies).
    void addPart(std::string name, std::string contentType, std::string content);
    // Copies a part of the source package as it is stored there.
    void copyPart(std::string name, std::string contentType);
    bool hasPart(const std::string& name) const;

    // Sets the relationships of a part ("" for the package itself) as they are given; with
    // asStored, they are the source package's own, and their part is copied as it is stored there.
    void setRelationships(const std::string& source, std::vector<Relationship> relationships, bool asStored = false);
    // Adds a relationship as it is given.
    void keepRelationship(const std::string& source, Relationship relationship) {
        storedLinks_.erase(source);
        links_[source].push_back(std::move(relationship));
    }
    const std::map<std::string, std::vector<Relationship>>& relationships() const { return links_; }
    // Adds a relationship from a part to another; the type is the last word of the type URI
    // ("worksheet"); the target is relative to the source part's folder. Returns its id ("rId1"),
    // one the part's other relationships do not use.
    std::string relate(const std::string& source, const std::string& type, const std::string& target);
    // Adds a default content type for an extension, unless one is there.
    void addDefault(const std::string& extension, const std::string& contentType);

    // The package's bytes; the writer is done. Errors raise 1004 naming shownName.
    std::string finish(const std::string& shownName);

private:
    struct Part {
        std::string name;
        std::string contentType;
        std::string content;
        bool copied = false;
    };
    std::string contentTypesXml() const;
    static std::string relationshipsXml(const std::vector<Relationship>& links);

    const ZipReader* source_;
    std::vector<Part> parts_;
    std::vector<std::pair<std::string, std::string>> defaults_{
        {"rels", "application/vnd.openxmlformats-package.relationships+xml"}, {"xml", "application/xml"}};
    std::map<std::string, std::vector<Relationship>> links_;  // by source part
    std::set<std::string> storedLinks_;  // sources whose relationship part is copied
};

// The full URI of a relationship type named by its last word ("worksheet").
std::string relationshipType(const std::string& type);

}  // namespace host::files
