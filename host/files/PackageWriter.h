#pragma once
// A workbook package being written: parts with their content types and the relationships between
// them; the content-types part and the relationship parts are made from these.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/files/SaveTarget.h"

namespace host::files {

class PackageWriter {
public:
    // Adds a part ("xl/workbook.xml") with its content type ("" when the extension's default applies).
    void addPart(std::string name, std::string contentType, std::string content);
    // Adds a relationship from a part ("" for the package itself) to another; the type is the last
    // word of the type URI ("worksheet"); the target is relative to the source part's folder.
    // Returns the relationship id ("rId1").
    std::string relate(const std::string& source, const std::string& type, const std::string& target);

    // Writes the package: first to a temporary file in the same folder, then renamed over the file,
    // so that the file is never left half-written; returns the new file's stamp. unchangedSince as
    // saveFile (SaveTarget.h) takes it. Raises 1004 naming the file when it cannot.
    FileStamp write(const std::string& path, const std::optional<FileStamp>& unchangedSince = std::nullopt) const;

private:
    struct Part {
        std::string name;
        std::string contentType;
        std::string content;
    };
    struct Link {
        std::string id;
        std::string type;
        std::string target;
    };
    std::string contentTypesXml() const;
    static std::string relationshipsXml(const std::vector<Link>& links);

    std::vector<Part> parts_;
    std::map<std::string, std::vector<Link>> links_;  // by source part
};

}  // namespace host::files
