#include "host/files/XlsxWriter.h"

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <deque>
#include <functional>
#include <map>
#include <set>

#include "host/files/CellStyles.h"
#include "host/files/CustomProperties.h"
#include "host/files/ExternalLinks.h"
#include "host/files/PackageWriter.h"
#include "host/files/QueryTableParts.h"
#include "host/files/SaveTarget.h"
#include "host/files/SharedStrings.h"
#include "host/files/StoredPackage.h"
#include "host/files/TablesXml.h"
#include "host/files/WorksheetWriter.h"
#include "host/files/Xml.h"
#include "host/files/XmlChunks.h"

namespace host::files {

namespace {

constexpr const char* kTypeBase = "application/vnd.openxmlformats-officedocument.";
constexpr const char* kRelationshipsNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string contentType(const std::string& kind) { return kTypeBase + kind; }

bool hasType(const Relationship& r, std::string_view typeEnd) { return std::string_view(r.type).ends_with(typeEnd); }

// A target as a relationship of `source` writes it: relative to the source's folder where it lies
// inside it, else from the package's root.
std::string relativeTarget(const std::string& source, const std::string& target) {
    const std::string folder = Package::folderOf(source);
    return target.starts_with(folder) ? target.substr(folder.size()) : "/" + target;
}

XmlChunks newWorkbookLayout() {
    XmlChunks layout;
    layout.head = std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)") +
                  R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r=")" +
                  kRelationshipsNamespace + "\">";
    layout.children = {{"bookViews", R"(<bookViews><workbookView/></bookViews>)"}, {"sheets", ""}};
    layout.tail = "</workbook>";
    return layout;
}

const std::string kPlainWorkbookType = contentType("spreadsheetml.sheet.main+xml");

// What a file's extension asks of its package: the workbook part's content type (nullopt: the one the
// file had, else the plain one) and whether it may hold macros.
struct FileFormat {
    std::optional<std::string> workbookType;
    bool macros = true;
};

FileFormat formatOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".xlsx") return {kPlainWorkbookType, false};
    if (extension == ".xltx") return {contentType("spreadsheetml.template.main+xml"), false};
    if (extension == ".xlsm") return {"application/vnd.ms-excel.sheet.macroEnabled.main+xml", true};
    if (extension == ".xltm") return {"application/vnd.ms-excel.template.macroEnabled.main+xml", true};
    if (extension == ".xlam") return {"application/vnd.ms-excel.addin.macroEnabled.main+xml", true};
    return {};
}

// Elements of the workbook part that follow its defined names, in the order the format gives.
const std::vector<std::string_view> kAfterDefinedNames = {"calcPr", "oleSize", "customWorkbookViews", "pivotCaches",
                                                          "smartTagPr", "smartTagTypes", "webPublishing",
                                                          "fileRecoveryPr", "webPublishObjects", "extLst"};

// Writes a workbook as a package: the parts the platform models are written from the workbook; of the
// file the workbook was read from, every other part is copied as it is stored there, with its
// relationships and content type, and the parts it rewrites keep what it does not model.
class WorkbookWriter {
public:
    explicit WorkbookWriter(const sheet::Workbook& workbook)
        : workbook_(workbook), kept_(dynamic_cast<const StoredWorkbook*>(workbook.fileExtras.get())) {
        if (kept_) {
            source_ = std::make_unique<Package>(kept_->package, kept_->path);
            for (auto& name : source_->zip().names()) {
                if (name.starts_with("xl/tables/")) keptTableId_ = std::max(keptTableId_, tableIdOf(name));
                usedNames_.insert(std::move(name));
            }
            readContentTypes();
            strings_ = SharedStringTable(kept_->sharedStrings);
            styles_ = CellStyleTable(kept_->cellFormats);
        }
        package_ = std::make_unique<PackageWriter>(source_ ? &source_->zip() : nullptr);
        workbookPart_ = kept_ ? kept_->workbookPart : "xl/workbook.xml";
        const auto* connections = kept_ ? Package::findByType(kept_->workbookRelationships, "/connections") : nullptr;
        if (kept_) books_ = kept_->externalBooks;
        keptBooks_ = books_.size();
        queryTables_ = std::make_unique<QueryTableWriter>(
            source_.get(), connections && !connections->external ? connections->target : std::string(),
            [this](const std::string& stem, const std::string& extension) { return newPartName(stem, extension); });
    }

    std::string write(const std::string& path) {
        const FileFormat format = formatOf(path);
        planSheets();
        package_->setRelationships(workbookPart_, keptWorkbookLinks(format));
        for (auto& s : sheets_)
            if (s.link.id.empty())
                s.link.id = package_->relate(workbookPart_, "worksheet", relativeTarget(workbookPart_, s.part));
        for (std::size_t i = 0; i < sheets_.size(); ++i) writeSheet(sheets_[i], static_cast<int>(i) + 1);
        queryTables_->finish(*package_, workbookPart_);
        writeNewLinks(path);
        usedNames_.insert(workbookPart_);
        package_->addPart(workbookPart_, format.workbookType ? *format.workbookType : typeOf(workbookPart_, kPlainWorkbookType),
                          workbookXml());
        writeStrings();
        writeStyles();
        writeRootAndProperties();
        copyKeptParts();
        return package_->finish(path);
    }

private:
    struct SheetPlan {
        const sheet::Worksheet* sheet;
        const StoredSheet* kept;  // nullptr for a sheet written anew
        std::string part;
        Relationship link;  // from the workbook part; no id yet for a new sheet
        int sheetId = 0;
    };
    // An entry of the written sheet list: a worksheet (by its plan) or a kept sheet element.
    struct Entry {
        const SheetPlan* plan = nullptr;
        const std::string* element = nullptr;
        std::size_t keptIndex = SIZE_MAX;
    };

    // The file's relationships of the workbook part, in their order, without those of sheets that are
    // gone. The calculation chain lists the formulas as they were (other programs rebuild it); the
    // texts and styles are written anew where the file lacked their parts; a format without macros
    // has no place for a macro project.
    std::vector<Relationship> keptWorkbookLinks(const FileFormat& format) const {
        std::vector<Relationship> links;
        if (!kept_) return links;
        for (const auto& r : kept_->workbookRelationships) {
            const bool keptSheet =
                std::any_of(sheets_.begin(), sheets_.end(), [&](const SheetPlan& s) { return s.link.id == r.id; });
            const bool dropped = hasType(r, "/calcChain") ||
                                 (hasType(r, "/sharedStrings") && kept_->sharedStringsPart.empty()) ||
                                 (hasType(r, "/styles") && kept_->stylesPart.empty()) ||
                                 (hasType(r, "/vbaProject") && !format.macros);
            if (hasType(r, "/worksheet") ? keptSheet : !dropped) links.push_back(r);
        }
        return links;
    }

    void readContentTypes() {
        pugi::xml_document document;
        if (!source_->load(document, "[Content_Types].xml")) return;
        for (auto n : child(document, "Types").children()) {
            if (localName(n) == "Default")
                defaults_.emplace_back(n.attribute("Extension").value(), n.attribute("ContentType").value());
            else if (localName(n) == "Override") {
                std::string_view name = n.attribute("PartName").value();
                if (name.starts_with("/")) name.remove_prefix(1);
                overrides_.emplace(std::string(name), n.attribute("ContentType").value());
            }
        }
    }

    // The content type the file gave the part, else the given one.
    std::string typeOf(const std::string& part, const std::string& fallback) const {
        const auto it = overrides_.find(part);
        return it != overrides_.end() ? it->second : fallback;
    }

    void addPart(const std::string& name, const std::string& type, std::string content) {
        usedNames_.insert(name);
        package_->addPart(name, typeOf(name, type), std::move(content));
    }

    // A part name not used in the file nor in the package: stem, a number from 1, extension; with
    // plain, stem and extension alone when that is free.
    // The id a table part of the source holds, 0 when it cannot be read.
    int tableIdOf(const std::string& part) const {
        pugi::xml_document document;
        return source_->load(document, part) ? child(document, "table").attribute("id").as_int() : 0;
    }

    std::string newPartName(const std::string& stem, const std::string& extension, bool plain = false) {
        if (plain && usedNames_.insert(stem + extension).second) return stem + extension;
        for (int n = 1;; ++n) {
            std::string name = stem + std::to_string(n) + extension;
            if (usedNames_.insert(name).second) return name;
        }
    }

    void planSheets() {
        std::set<std::string> keptParts;
        int lastId = 0;
        for (const auto& sheet : workbook_.worksheets()) {
            SheetPlan plan{sheet.get(), nullptr, {}, {}, 0};
            const auto* kept = kept_ ? dynamic_cast<const StoredSheet*>(sheet->fileExtras.get()) : nullptr;
            if (kept && !kept->xml.children.empty() && keptParts.insert(kept->part).second) {
                for (const auto& r : kept_->workbookRelationships)
                    if (hasType(r, "/worksheet") && r.target == kept->part) plan.link = r;
                if (!plan.link.id.empty()) {
                    plan.kept = kept;
                    plan.part = kept->part;
                    plan.sheetId = kept->sheetId;
                }
            }
            lastId = std::max(lastId, plan.sheetId);
            sheets_.push_back(std::move(plan));
        }
        if (kept_)
            for (const auto& entry : kept_->sheets)
                if (!entry.element.empty())
                    lastId = std::max(lastId, std::atoi(tagAttribute(entry.element, "sheet", "sheetId").value_or("0").c_str()));
        for (auto& plan : sheets_) {
            if (plan.kept) continue;
            plan.part = newPartName("xl/worksheets/sheet", ".xml");
            plan.sheetId = ++lastId;
        }
        orderEntries();
    }

    // The written sheet list: the worksheets in their order, each kept sheet element after the
    // worksheet it followed in the file (at the start when none of those is left).
    void orderEntries() {
        std::map<const sheet::Worksheet*, std::vector<std::size_t>> after;
        std::vector<std::size_t> leading;
        if (kept_) {
            const sheet::Worksheet* anchor = nullptr;
            for (std::size_t i = 0; i < kept_->sheets.size(); ++i) {
                const auto& entry = kept_->sheets[i];
                if (auto sheet = entry.worksheet.lock(); sheet && planOf(sheet.get())) anchor = sheet.get();
                else if (!entry.element.empty()) (anchor ? after[anchor] : leading).push_back(i);
            }
        }
        auto addKept = [&](std::size_t i) { entries_.push_back({nullptr, &kept_->sheets[i].element, i}); };
        for (std::size_t i : leading) addKept(i);
        for (const auto& plan : sheets_) {
            entries_.push_back({&plan, nullptr, keptIndexOf(plan.sheet)});
            for (std::size_t i : after[plan.sheet]) addKept(i);
        }
    }

    const SheetPlan* planOf(const sheet::Worksheet* sheet) const {
        for (const auto& plan : sheets_)
            if (plan.sheet == sheet) return &plan;
        return nullptr;
    }

    std::size_t keptIndexOf(const sheet::Worksheet* sheet) const {
        if (kept_)
            for (std::size_t i = 0; i < kept_->sheets.size(); ++i)
                if (kept_->sheets[i].worksheet.lock().get() == sheet) return i;
        return SIZE_MAX;
    }

    void writeSheet(const SheetPlan& plan, int number) {
        const sheet::Worksheet& sheet = *plan.sheet;
        std::vector<Relationship> links = plan.kept ? plan.kept->relationships : std::vector<Relationship>{};
        XmlChunks layout = plan.kept ? plan.kept->xml : newWorksheetLayout();
        const std::string comments = sheet.comments().empty() ? std::string() : commentsXml(sheet);
        std::optional<std::string> drawingId;
        const bool keptComments = plan.kept && comments == plan.kept->commentsAsRead;
        if (!keptComments) {
            // The file's comments and the drawing that shows them give way to the sheet's own.
            const auto* legacy = layout.find("legacyDrawing");
            const auto oldDrawing = legacy ? tagAttribute(legacy->text, "legacyDrawing", "r:id") : std::nullopt;
            std::erase_if(links, [&](const Relationship& r) { return hasType(r, "/comments") || (oldDrawing && r.id == *oldDrawing); });
            drawingId = "";
        }
        // Query tables as the file had them stay in its parts; otherwise the sheet's are written anew.
        const bool keptQueryTables = plan.kept && sameQueryTables(sheet.queryTables(), plan.kept->queryTablesAsRead);
        if (plan.kept && !keptQueryTables) {
            const auto& old = plan.kept->queryTableLinks;
            std::erase_if(links, [&](const Relationship& r) { return std::find(old.begin(), old.end(), r.id) != old.end(); });
            listTableParts(layout, {}, old);
        }
        // Tables the file holds stay in their parts, brought up to the sheet's; the sheet's new ones get
        // parts of their own.
        const std::vector<TableAsRead> keptTables = plan.kept ? plan.kept->tablesAsRead : std::vector<TableAsRead>{};
        const auto removedTables =
            plan.kept ? updateKeptTables(sheet, keptTables, *source_, *package_) : std::vector<std::string>{};
        std::erase_if(links, [&](const Relationship& r) {
            return std::find(removedTables.begin(), removedTables.end(), r.id) != removedTables.end();
        });
        package_->setRelationships(plan.part, std::move(links), keptComments && keptQueryTables && removedTables.empty());
        if (!keptQueryTables) queryTables_->writeSheet(sheet, *package_, plan.part, layout);
        const auto tableLinks = writeTables(sheet, plan.part, *package_, keptTableId_, keptTables,
                                            [this] { return newPartName("xl/tables/table", ".xml"); });
        listTableParts(layout, tableLinks, removedTables);
        if (drawingId && !comments.empty()) {
            const std::string commentsPart = newPartName("xl/comments", ".xml");
            const std::string drawingPart = newPartName("xl/drawings/vmlDrawing", ".vml");
            package_->relate(plan.part, "comments", relativeTarget(plan.part, commentsPart));
            drawingId = package_->relate(plan.part, "vmlDrawing", relativeTarget(plan.part, drawingPart));
            addPart(commentsPart, contentType("spreadsheetml.comments+xml"), comments);
            addPart(drawingPart, "", commentDrawingXml(sheet, number));
            package_->addDefault("vml", contentType("vmlDrawing"));
        }
        addPart(plan.part, contentType("spreadsheetml.worksheet+xml"),
                worksheetXml(sheet, std::move(layout), &sheet == workbook_.activeSheet().get(), strings_, styles_, drawingId,
                             plan.kept ? plan.kept->formatsAsRead : sheet::SheetFormats{},
                             &books_));
    }

    // The parts of the links into other workbooks that the formulas added to the file's list.
    void writeNewLinks(const std::string& path) {
        for (std::size_t i = keptBooks_; i < books_.size(); ++i) {
            const std::string part = newPartName("xl/externalLinks/externalLink", ".xml");
            addPart(part, contentType("spreadsheetml.externalLink+xml"), externalLinkXml(books_[i]));
            Relationship file;
            file.id = "rId1";
            file.type = relationshipType("externalLinkPath");
            file.external = true;
            file.written = externalLinkTarget(books_[i], path);
            package_->keepRelationship(part, std::move(file));
            newLinkIds_.push_back(package_->relate(workbookPart_, "externalLink", relativeTarget(workbookPart_, part)));
        }
    }

    std::string workbookXml() const {
        XmlChunks layout = kept_ ? kept_->workbookXml : newWorkbookLayout();
        const std::string& p = layout.prefix;
        if (layout.head.find("xmlns:r=") == std::string::npos)
            setTagAttribute(layout.head, "workbook", "xmlns:r", kRelationshipsNamespace);
        std::map<std::size_t, std::size_t> newIndex;  // kept sheet index -> written index
        std::string sheets = "<" + p + "sheets>";
        const auto active = workbook_.activeSheet();
        std::size_t activeTab = 0;
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            const Entry& e = entries_[i];
            if (e.keptIndex != SIZE_MAX) newIndex[e.keptIndex] = i;
            if (e.element) {
                sheets += *e.element;
                continue;
            }
            const auto& sheet = *e.plan->sheet;
            if (&sheet == active.get()) activeTab = i;
            sheets += "<" + p + "sheet name=\"" + escapeXml(encodeEscapes(sheet.name())) + "\" sheetId=\"" +
                      std::to_string(e.plan->sheetId) + "\"";
            if (sheet.visible() == sheet::SheetVisibility::Hidden) sheets += " state=\"hidden\"";
            if (sheet.visible() == sheet::SheetVisibility::VeryHidden) sheets += " state=\"veryHidden\"";
            sheets += " r:id=\"" + e.plan->link.id + "\"/>";
        }
        sheets += "</" + p + "sheets>";
        if (auto* chunk = layout.find("sheets")) chunk->text = sheets;
        if (auto* views = layout.find("bookViews")) {
            setTagAttribute(views->text, "workbookView", "activeTab", std::to_string(activeTab));
            // The first tab shown must still be a sheet of the workbook.
            const auto first = tagAttribute(views->text, "workbookView", "firstSheet");
            if (first && std::atoi(first->c_str()) >= static_cast<int>(entries_.size()))
                setTagAttribute(views->text, "workbookView", "firstSheet", "0");
        }

        if (!newLinkIds_.empty()) {
            std::string references;
            for (const auto& id : newLinkIds_) references += "<" + p + "externalReference r:id=\"" + id + "\"/>";
            if (auto* list = layout.find("externalReferences")) {
                list->text.insert(list->text.rfind("</"), references);
            } else {
                std::vector<std::string_view> after = kAfterDefinedNames;
                after.insert(after.begin(), "definedNames");
                layout.children.insert(layout.children.begin() + static_cast<std::ptrdiff_t>(layout.placeBefore(after)),
                                       {"externalReferences", "<" + p + "externalReferences>" + references + "</" + p +
                                                                  "externalReferences>"});
            }
        }
        std::string names;
        if (const auto all = workbook_.namesObject())
            for (const auto& name : all->all()) {
                std::string_view refersTo = name->refersTo();
                if (refersTo.starts_with("=")) refersTo.remove_prefix(1);
                names += "<" + p + "definedName name=\"" + escapeXml(name->name()) + "\"" +
                         (name->visible ? "" : " hidden=\"1\"") + ">" + escapeXml(encodeEscapes(refersTo)) + "</" + p +
                         "definedName>";
            }
        if (kept_)
            for (const auto& local : kept_->localNames) {
                const auto it = newIndex.find(local.sheet);
                if (it == newIndex.end()) continue;  // its sheet is gone
                std::string element = local.element;
                setTagAttribute(element, "definedName", "localSheetId", std::to_string(it->second));
                names += element;
            }
        std::erase_if(layout.children, [](const XmlChunk& c) { return c.name == "definedNames"; });
        if (!names.empty()) {
            const auto at = layout.placeBefore(kAfterDefinedNames);
            layout.children.insert(layout.children.begin() + static_cast<std::ptrdiff_t>(at),
                                   {"definedNames", "<" + p + "definedNames>" + names + "</" + p + "definedNames>"});
        }
        return layout.text();
    }

    // A part of the whole workbook that the cells add to (the texts, the styles): the file's part
    // copied as stored when nothing was added, else made from it with the additions; made anew
    // where the file had none. make gets the file's part ("" for none).
    void writeSharedPart(const std::string& keptPart, bool added, const std::string& kind, const std::string& type,
                         const std::function<std::string(const std::string&)>& make) {
        if (!keptPart.empty()) {
            if (!added) package_->copyPart(keptPart, typeOf(keptPart, type));
            else addPart(keptPart, type, make(source_->read(keptPart).value_or("")));
            return;
        }
        const std::string part = newPartName("xl/" + kind, ".xml", true);
        package_->relate(workbookPart_, kind, relativeTarget(workbookPart_, part));
        addPart(part, type, make({}));
    }

    void writeStrings() {
        const std::string kept = kept_ ? kept_->sharedStringsPart : std::string();
        if (kept.empty() && strings_.empty()) return;
        writeSharedPart(kept, strings_.added(), "sharedStrings", contentType("spreadsheetml.sharedStrings+xml"),
                        [&](const std::string& part) { return strings_.xml(part); });
    }

    void writeStyles() {
        writeSharedPart(kept_ ? kept_->stylesPart : std::string(), styles_.added(), "styles",
                        contentType("spreadsheetml.styles+xml"), [&](const std::string& part) { return styles_.stylesXml(part); });
    }

    void writeRootAndProperties() {
        const auto properties = workbook_.customDocumentPropertiesObject();
        const auto custom = properties ? customPropertiesXml(*properties) : std::nullopt;
        if (!kept_) {
            package_->relate("", "officeDocument", workbookPart_);
        } else {
            std::vector<Relationship> links = kept_->rootRelationships;
            const bool unchanged = !kept_->customPropertiesPart.empty() && custom.value_or("") == kept_->customPropertiesAsRead;
            if (unchanged) return package_->setRelationships("", std::move(links), true);
            std::erase_if(links, [](const Relationship& r) { return hasType(r, "/custom-properties"); });
            package_->setRelationships("", std::move(links));
        }
        if (!custom) return;
        const std::string part = kept_ && !kept_->customPropertiesPart.empty() ? kept_->customPropertiesPart : "docProps/custom.xml";
        package_->relate("", "custom-properties", part);
        addPart(part, contentType("custom-properties+xml"), *custom);
    }

    // Copies every part of the file that the written parts still reach through their relationships,
    // with the relationships of the copied parts, as they are stored.
    void copyKeptParts() {
        if (!source_) return;
        for (const auto& [extension, type] : defaults_) package_->addDefault(extension, type);
        std::deque<std::string> work;
        for (const auto& [source, links] : package_->relationships())
            for (const auto& r : links)
                if (!r.external && !r.target.empty()) work.push_back(r.target);
        std::set<std::string> seen;
        while (!work.empty()) {
            const std::string part = std::move(work.front());
            work.pop_front();
            if (!seen.insert(part).second || package_->hasPart(part) || !source_->zip().contains(part)) continue;
            package_->copyPart(part, typeOf(part, ""));
            const std::string relationshipsPart = Package::relationshipsPartOf(part);
            const auto links = source_->relationships(part);
            if (links.empty()) continue;
            package_->copyPart(relationshipsPart, "");
            for (const auto& r : links)
                if (!r.external) work.push_back(r.target);
        }
    }

    const sheet::Workbook& workbook_;
    const StoredWorkbook* kept_;
    std::unique_ptr<Package> source_;
    // The highest id of the file's table parts; new tables take ids above it, well clear of the ids the
    // query tables' tables take.
    int keptTableId_ = 1000;
    std::unique_ptr<PackageWriter> package_;
    std::unique_ptr<QueryTableWriter> queryTables_;
    std::vector<ExternalBook> books_;  // the links into other workbooks: the file's, then those added
    std::size_t keptBooks_ = 0;
    std::vector<std::string> newLinkIds_;  // of the added links' parts, from the workbook part
    std::string workbookPart_;
    std::set<std::string> usedNames_;
    std::vector<std::pair<std::string, std::string>> defaults_;
    std::map<std::string, std::string> overrides_;  // content types the file gave its parts
    SharedStringTable strings_;
    CellStyleTable styles_;
    std::vector<SheetPlan> sheets_;
    std::vector<Entry> entries_;
};

}  // namespace

FileStamp writeWorkbook(const sheet::Workbook& workbook, const std::string& path,
                        const std::optional<FileStamp>& unchangedSince) {
    return saveFile(path, WorkbookWriter(workbook).write(path), unchangedSince);
}

}  // namespace host::files
