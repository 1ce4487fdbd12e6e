#pragma once
// Tables (list objects): named blocks of cells of a sheet, a header row on top. A table's name is
// unique in its workbook.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/base/Variant.h"
#include "host/formula/Reference.h"
#include "host/sheet/Range.h"

namespace host::sheet {

class Worksheet;

class ListObject : public Object {
public:
    ListObject(std::weak_ptr<Worksheet> sheet, std::string name, formula::Area area);
    std::string typeName() const override { return "ListObject"; }

    const std::string& name() const { return name_; }
    // Renames the table; raises 1004 for a name that is not valid as a defined name or that another
    // table of the workbook has (letter case ignored).
    void setName(const std::string& name);
    // The table's cells, header row included.
    RangePtr range() const;
    const formula::Area& area() const { return area_; }
    // Unlist: the block stops being a table; its cells stay.
    void unlist();

private:
    std::weak_ptr<Worksheet> sheet_;
    std::string name_;
    formula::Area area_;
};
using ListObjectPtr = std::shared_ptr<ListObject>;

class ListObjects : public Object {
public:
    explicit ListObjects(std::weak_ptr<Worksheet> sheet) : sheet_(std::move(sheet)) {}
    std::string typeName() const override { return "ListObjects"; }

    int count() const { return static_cast<int>(tables_.size()); }
    const std::vector<ListObjectPtr>& items() const { return tables_; }
    // By 1-based index or by name (letter case ignored); raises 9 when there is none.
    ListObjectPtr item(int index) const;
    ListObjectPtr item(std::string_view name) const;
    // Makes the first area of `source` (a range of this sheet) a table named "TableN", N the next
    // number free in the workbook. Raises 1004 when it overlaps another table.
    ListObjectPtr add(const RangePtr& source);

private:
    friend class ListObject;
    std::weak_ptr<Worksheet> sheet_;
    std::vector<ListObjectPtr> tables_;
};

}  // namespace host::sheet
