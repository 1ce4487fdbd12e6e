#pragma once
// Defined names of a workbook: a name standing for a reference (or a constant formula).

#include <memory>
#include <string>
#include <vector>

#include "host/base/Variant.h"
#include "host/sheet/Range.h"

namespace host::sheet {

class Workbook;

// Raises 1004 "The name that you entered is not valid." unless the name starts with a letter, "_" or
// "\", holds only letters, digits, "_", "." and "\", and is no cell address.
void validateName(const std::string& name);

class Name : public Object {
public:
    Name(std::weak_ptr<Workbook> workbook, std::string name, std::string refersTo);
    std::string typeName() const override { return "Name"; }
    Variant defaultValue() const override { return refersTo_; }

    const std::string& name() const { return name_; }
    // "=Sheet1!$A$1:$B$2" as given when the name was added.
    const std::string& refersTo() const { return refersTo_; }
    void setRefersTo(std::string refersTo);
    // The references the name stands for; none when it refers to a constant or a formula.
    std::vector<formula::ReferenceTarget> targets() const;
    // The range the name refers to; raises 1004 when it refers to no range of an open workbook.
    RangePtr refersToRange() const;
    bool visible = true;
    void remove();

private:
    std::weak_ptr<Workbook> workbook_;
    std::string name_;
    std::string refersTo_;
};
using NamePtr = std::shared_ptr<Name>;

class Names : public Object {
public:
    explicit Names(std::weak_ptr<Workbook> workbook) : workbook_(std::move(workbook)) {}
    std::string typeName() const override { return "Names"; }

    // Adds or replaces a name. refersTo is a formula text ("=Sheet1!$A$1") or a Range's address is
    // taken from the range. Raises 1004 for a name that is not a valid name (blank, starting with a
    // digit, looking like a cell reference).
    NamePtr add(const std::string& name, const std::string& refersTo);
    NamePtr add(const std::string& name, const RangePtr& refersTo);
    // By name (letter case ignored) or by 1-based index; raises 1004 when there is none.
    NamePtr item(const std::string& name) const;
    NamePtr item(int index) const;
    NamePtr find(const std::string& name) const;
    int count() const { return static_cast<int>(names_.size()); }
    const std::vector<NamePtr>& all() const { return names_; }
    void remove(const std::string& name);

private:
    std::weak_ptr<Workbook> workbook_;
    std::vector<NamePtr> names_;
};

}  // namespace host::sheet
