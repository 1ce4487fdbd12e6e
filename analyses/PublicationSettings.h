#pragma once
// Publication settings: where and in which format a workbook is published, kept in the workbook's
// custom document properties "TELM.NET.Publ1", "TELM.NET.Publ2", ... (every property whose name
// begins with "TELM.NET.Publ", in any letter case, in the order the workbook holds them). Each value
// is a parameter string:
//   Path=<folder, or e-mail recipients, or ftp://...>;Prefix=<text>;Name=<file name>;
//   Suffix=<"_mirror", "_YYMMDD" for the date as yymmdd, or any text>;Format=<xlsx|xls|xml|htm|mail|ftp>
// An empty Path is the workbook's own folder, an empty Name the workbook's name without extension.

#include <string>
#include <vector>

#include "host/sheet/Workbook.h"

namespace telm {

inline constexpr const char* kPublicationPropertyPrefix = "TELM.NET.Publ";
inline constexpr const char* kMirrorSuffix = "_mirror";
inline constexpr const char* kDateSuffix = "_YYMMDD";

struct PublicationSetting {
    std::string path;
    std::string prefix;
    std::string name;
    std::string suffix = kMirrorSuffix;
    std::string format = "xlsx";
    friend bool operator==(const PublicationSetting&, const PublicationSetting&) = default;
};

std::string PublicationSettingText(const PublicationSetting& setting);
PublicationSetting ParsePublicationSetting(const std::string& text);

// The workbook's stored settings; none stored gives the default: a "_mirror" xlsx copy beside it.
std::vector<PublicationSetting> ReadPublicationSettings(host::sheet::Workbook& book);
// Replaces the stored settings by these.
void StorePublicationSettings(host::sheet::Workbook& book, const std::vector<PublicationSetting>& settings);

// True for a setting that sends the copy by e-mail or to an FTP mirror.
bool IsMailOrFtp(const PublicationSetting& setting);
// The full name of the published copy: folder, "/", prefix, name, suffix, ".", format. `today` is the
// text that "_YYMMDD" stands for.
std::string PublicationTarget(const PublicationSetting& setting, const host::sheet::Workbook& book,
                              const std::string& today);

}  // namespace telm
