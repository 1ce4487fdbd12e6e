#include "host/sheet/DocumentProperties.h"

#include <algorithm>

#include "host/base/RuntimeError.h"
#include "host/base/Text.h"
#include "host/sheet/NamedItems.h"

namespace host::sheet {

namespace {

Variant convertTo(PropertyType type, const Variant& value) {
    switch (type) {
    case PropertyType::Number: return value.toLong();
    case PropertyType::Float: return value.toDouble();
    case PropertyType::Boolean: return value.toBool();
    case PropertyType::Date: return value.toDate();
    case PropertyType::String: return value.toString();
    }
    return value;
}

}  // namespace

DocumentProperty::DocumentProperty(std::string name, PropertyType type, Variant value)
    : name_(std::move(name)), type_(type), value_(convertTo(type, value)) {}

void DocumentProperty::setValue(const Variant& value) { value_ = convertTo(type_, value); }

void DocumentProperty::remove() {
    if (owner_) owner_->remove(name_);
}

DocumentPropertyPtr DocumentProperties::add(const std::string& name, PropertyType type, const Variant& value) {
    if (name.empty() || find(name)) throw RuntimeError(err::InvalidProcedureCall);
    auto property = std::make_shared<DocumentProperty>(name, type, value);
    property->owner_ = this;
    items_.push_back(property);
    return property;
}

DocumentPropertyPtr DocumentProperties::find(const std::string& name) const { return findByName(items_, name); }

DocumentPropertyPtr DocumentProperties::item(const std::string& name) const {
    if (auto p = find(name)) return p;
    throw RuntimeError(err::InvalidProcedureCall);
}

DocumentPropertyPtr DocumentProperties::item(int index) const {
    return itemAt(items_, index, err::InvalidProcedureCall);
}

void DocumentProperties::remove(const std::string& name) {
    std::erase_if(items_, [&](const DocumentPropertyPtr& p) {
        const bool match = hasName(p, name);
        if (match) p->owner_ = nullptr;
        return match;
    });
}

}  // namespace host::sheet
