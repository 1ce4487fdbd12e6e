#include "analyses/PublicationSettings.h"

#include <regex>

#include "core/F_Pomocnicze.h"
#include "host/base/Path.h"
#include "host/base/Text.h"
#include "host/sheet/DocumentProperties.h"

namespace telm {

namespace {

using host::CompareMethod;

std::string item(const std::string& key, const std::string& text) {
    std::string value = GetParamValue(key, text, ";");
    return value == kParamNotFound ? std::string() : value;
}

bool isPublicationProperty(const std::string& name) {
    return host::StrComp(host::Left(name, host::Len(kPublicationPropertyPrefix)), kPublicationPropertyPrefix,
                         CompareMethod::Text) == 0;
}

bool beginsWith(const std::string& text, const std::string& start) {
    return host::StrComp(host::Left(text, host::Len(start)), start, CompareMethod::Text) == 0;
}

std::string withoutExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// One or more addresses "name@domain.tld" apart by "," or ";": no folder separator, nothing else.
bool looksLikeMailRecipients(const std::string& path) {
    static const std::string address = R"([^@\s,;/\\]+@[^@\s,;/\\.]+(?:\.[^@\s,;/\\.]+)+)";
    static const std::regex recipients(R"(\s*)" + address + R"((?:\s*[,;]\s*)" + address + R"()*\s*)");
    return std::regex_match(path, recipients);
}

}  // namespace

std::string PublicationSettingText(const PublicationSetting& s) {
    return "Path=" + s.path + ";Prefix=" + s.prefix + ";Name=" + s.name + ";Suffix=" + s.suffix + ";Format=" + s.format;
}

PublicationSetting ParsePublicationSetting(const std::string& text) {
    PublicationSetting setting{item("Path", text), item("Prefix", text), item("Name", text), item("Suffix", text),
                               host::LCase(item("Format", text))};
    // Without a suffix the copy would carry the workbook's own name: it is the mirror unless one is given.
    if (GetParamValue("Suffix", text, ";") == kParamNotFound) setting.suffix = kMirrorSuffix;
    if (setting.format.empty()) setting.format = "xlsx";
    return setting;
}

std::vector<PublicationSetting> ReadPublicationSettings(host::sheet::Workbook& book) {
    std::vector<PublicationSetting> settings;
    for (const auto& property : book.customDocumentProperties().all())
        if (isPublicationProperty(property->name()))
            settings.push_back(ParsePublicationSetting(property->value().toString()));
    if (settings.empty()) settings.push_back(PublicationSetting{});
    return settings;
}

void StorePublicationSettings(host::sheet::Workbook& book, const std::vector<PublicationSetting>& settings) {
    auto& properties = book.customDocumentProperties();
    std::vector<std::string> stored;
    for (const auto& property : properties.all())
        if (isPublicationProperty(property->name())) stored.push_back(property->name());
    for (const auto& name : stored) properties.remove(name);
    int number = 0;
    for (const auto& setting : settings)
        properties.add(kPublicationPropertyPrefix + std::to_string(++number), host::sheet::PropertyType::String,
                       PublicationSettingText(setting));
    book.saved = false;
}

bool IsMailOrFtp(const PublicationSetting& s) {
    return s.format == "mail" || s.format == "ftp" || beginsWith(s.path, "ftp://") || beginsWith(s.path, "mailto:") ||
           looksLikeMailRecipients(s.path);
}

std::string PublicationTarget(const PublicationSetting& s, const host::sheet::Workbook& book, const std::string& today) {
    std::string folder = s.path.empty() ? book.path() : ReplaceFolderPlaceholder(s.path);
    // A relative folder is taken from the workbook's own folder, never from wherever the program runs.
    if (!host::nativePath(folder).starts_with('/')) folder = book.path() + "/" + folder;
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    const std::string suffix = s.suffix == kDateSuffix ? "_" + today : s.suffix;
    return folder + "/" + s.prefix + (s.name.empty() ? withoutExtension(book.name()) : s.name) + suffix + "." +
           s.format;
}

}  // namespace telm
