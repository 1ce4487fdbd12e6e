#pragma once
// Custom document properties of a workbook: named values of type text, number, date or Boolean.

#include <memory>
#include <string>
#include <vector>

#include "host/base/Variant.h"

namespace host::sheet {

enum class PropertyType { Number = 1, Boolean = 2, Date = 3, String = 4, Float = 5 };

class DocumentProperty : public Object {
public:
    DocumentProperty(std::string name, PropertyType type, Variant value);
    std::string typeName() const override { return "DocumentProperty"; }
    Variant defaultValue() const override { return value_; }

    const std::string& name() const { return name_; }
    PropertyType type() const { return type_; }
    const Variant& value() const { return value_; }
    // Converts the value to the property's type; raises Type mismatch when it cannot.
    void setValue(const Variant& value);
    void remove();

private:
    friend class DocumentProperties;
    std::string name_;
    PropertyType type_;
    Variant value_;
    class DocumentProperties* owner_ = nullptr;
};
using DocumentPropertyPtr = std::shared_ptr<DocumentProperty>;

class DocumentProperties : public Object {
public:
    std::string typeName() const override { return "DocumentProperties"; }
    // Adds a property; raises 5 when the name exists already (letter case ignored) or is empty.
    DocumentPropertyPtr add(const std::string& name, PropertyType type, const Variant& value);
    // By name (letter case ignored) or 1-based index; raises 5 when there is none.
    DocumentPropertyPtr item(const std::string& name) const;
    DocumentPropertyPtr item(int index) const;
    DocumentPropertyPtr find(const std::string& name) const;
    int count() const { return static_cast<int>(items_.size()); }
    const std::vector<DocumentPropertyPtr>& all() const { return items_; }
    void remove(const std::string& name);

private:
    std::vector<DocumentPropertyPtr> items_;
};

}  // namespace host::sheet
