#pragma once
// A workbook package being read: its parts as XML documents and the relationships between them.

#include <pugixml.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/files/Zip.h"

namespace host::files {

struct Relationship {
    std::string id;
    std::string type;    // the type URI
    std::string target;  // the target part's name in the package ("xl/worksheets/sheet1.xml")
    bool external = false;
    std::string written;  // the target as the relationship part writes it (relative to the source)
};

class Package {
public:
    // Opens the package file; raises 1004 naming it when it is missing or no zip.
    explicit Package(std::string path) : zip_(std::move(path)) {}
    // A package kept in memory; shownName names it in errors.
    Package(std::shared_ptr<const std::string> bytes, std::string shownName) : zip_(std::move(bytes), std::move(shownName)) {}

    const std::string& path() const { return zip_.path(); }

    // Loads a part into the document; false when the package has no such part. Raises 1004 naming
    // the file and the part when the part is damaged or not well-formed XML.
    bool load(pugi::xml_document& document, const std::string& part) const;
    // Loads a part that must be there; raises 1004 "the part '...' is missing" otherwise.
    void loadRequired(pugi::xml_document& document, const std::string& part) const;
    // Parses the text of a part into the document, with the checks of load.
    void parse(pugi::xml_document& document, const std::string& text, const std::string& part) const;
    // Parses a run of sibling elements taken from a part (at byte `offset` of it, `depth` elements deep)
    // into the document, with the same checks; errors name the byte in the whole part.
    void parseFragment(pugi::xml_document& document, std::string_view text, std::size_t offset, int depth,
                       const std::string& part) const;
    // The text of a part; nullopt when the package has no such part.
    std::optional<std::string> read(const std::string& part) const { return zip_.read(part); }
    const ZipReader& zip() const { return zip_; }

    // The relationships of a part (from "<folder>/_rels/<name>.rels"); "" for the package's own.
    std::vector<Relationship> relationships(const std::string& part) const;
    // The name of the part holding a part's relationships.
    static std::string relationshipsPartOf(const std::string& part);
    // The folder of a part with its slash ("xl/" for "xl/workbook.xml"; "" at the top).
    static std::string folderOf(const std::string& part);
    // The first relationship of a part whose type ends with the given name ("/worksheet").
    static const Relationship* findByType(const std::vector<Relationship>& relationships, std::string_view typeEnd);
    static const Relationship* findById(const std::vector<Relationship>& relationships, std::string_view id);

    // Raises 1004 naming the file and what is wrong with it.
    [[noreturn]] void fail(const std::string& what) const;

private:
    ZipReader zip_;
};

}  // namespace host::files
