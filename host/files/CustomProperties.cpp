#include "host/files/CustomProperties.h"

#include <charconv>
#include <cstdio>

#include "host/base/DateSerial.h"
#include "host/files/Xml.h"

namespace host::files {

namespace {

using sheet::PropertyType;

constexpr const char* kFormatId = "{D5CDD505-2E9C-101B-9397-08002B2CF9AE}";

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The property's type and value from its value element; nullopt for a type not kept.
std::optional<std::pair<PropertyType, Variant>> propertyValue(const Package& package, const pugi::xml_node& value) {
    const auto type = localName(value);
    const std::string text = decodeEscapes(value.text().get());
    auto bad = [&]() -> std::nullopt_t {
        package.fail("the custom property value '" + text + "' is no " + std::string(type));
    };
    if (type == "lpwstr" || type == "lpstr" || type == "bstr") return std::pair{PropertyType::String, Variant(text)};
    if (type == "i1" || type == "i2" || type == "i4" || type == "i8" || type == "int" || type == "ui1" ||
        type == "ui2" || type == "ui4" || type == "uint") {
        if (auto n = number(text)) return std::pair{PropertyType::Number, Variant(*n)};
        return bad();
    }
    if (type == "r4" || type == "r8" || type == "decimal") {
        if (auto d = parseNumber(text)) return std::pair{PropertyType::Float, Variant(*d)};
        return bad();
    }
    if (type == "bool") return std::pair{PropertyType::Boolean, Variant(text == "true" || text == "1")};
    if (type == "filetime" || type == "date") {
        if (auto d = parseIsoDate(text)) return std::pair{PropertyType::Date, Variant(Date{*d})};
        return bad();
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> parseIsoDate(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    char zone[8] = {};
    const std::string s(text);
    const int n = std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%lf%7s", &year, &month, &day, &hour, &minute, &second, zone);
    if (n < 3 || (n > 3 && n < 5) || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second < 0 || second >= 61)
        return std::nullopt;
    return dateSerial(year, month, day, hour, minute, 0) + second / 86400.0;
}

std::string isoDate(double serial) {
    const DateParts p = splitDate(serial);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", p.year, p.month, p.day, p.hour, p.minute,
                  p.second);
    return buffer;
}

void readCustomProperties(const Package& package, const std::string& part, sheet::DocumentProperties& properties) {
    pugi::xml_document document;
    if (!package.load(document, part)) return;
    for (auto property : child(document, "Properties").children()) {
        if (localName(property) != "property") continue;
        const std::string name = decodeEscapes(property.attribute("name").value());
        const auto value = property.first_child();
        if (name.empty() || properties.find(name) || value.type() != pugi::node_element) continue;
        if (auto typed = propertyValue(package, value)) properties.add(name, typed->first, typed->second);
    }
}

std::optional<std::string> customPropertiesXml(const sheet::DocumentProperties& properties) {
    if (properties.count() == 0) return std::nullopt;
    pugi::xml_document document;
    auto root = document.append_child("Properties");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/officeDocument/2006/custom-properties";
    root.append_attribute("xmlns:vt") = "http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes";
    int pid = 2;
    for (const auto& p : properties.all()) {
        auto node = root.append_child("property");
        node.append_attribute("fmtid") = kFormatId;
        node.append_attribute("pid") = pid++;
        node.append_attribute("name") = encodeEscapes(p->name()).c_str();
        const Variant& v = p->value();
        switch (p->type()) {
        case PropertyType::String: node.append_child("vt:lpwstr").text() = encodeEscapes(v.toString()).c_str(); break;
        case PropertyType::Number: node.append_child("vt:i4").text() = v.toLong(); break;
        case PropertyType::Float: node.append_child("vt:r8").text() = numberText(v.toDouble()).c_str(); break;
        case PropertyType::Boolean: node.append_child("vt:bool").text() = v.toBool() ? "true" : "false"; break;
        case PropertyType::Date: node.append_child("vt:filetime").text() = isoDate(v.toDouble()).c_str(); break;
        }
    }
    return serialize(document);
}

}  // namespace host::files
