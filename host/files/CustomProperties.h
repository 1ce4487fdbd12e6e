#pragma once
// Custom document properties as workbook files store them (docProps/custom.xml).

#include <optional>
#include <string>
#include <string_view>

#include "host/files/Package.h"
#include "host/sheet/DocumentProperties.h"

namespace host::files {

// Adds the properties of the part to the workbook's custom properties (nothing when it is absent).
void readCustomProperties(const Package& package, const std::string& part, sheet::DocumentProperties& properties);
// The part for the properties; nullopt when there are none.
std::optional<std::string> customPropertiesXml(const sheet::DocumentProperties& properties);

// "2024-03-01T10:20:30Z" (with or without time and zone) as a date serial; nullopt for other text.
std::optional<double> parseIsoDate(std::string_view text);
// A date serial as "2024-03-01T10:20:30Z".
std::string isoDate(double serial);

}  // namespace host::files
