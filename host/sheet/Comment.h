#pragma once
// A cell comment: its text, author, visibility and the shape that shows it.

#include <memory>
#include <string>

#include "host/base/Variant.h"
#include "host/sheet/Worksheet.h"

namespace host::sheet {

class Comment : public Object {
public:
    Comment(std::weak_ptr<Worksheet> sheet, int row, int column, std::string text, std::string author);
    std::string typeName() const override { return "Comment"; }

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    const std::string& author() const { return author_; }
    bool visible = false;
    const ShapePtr& shape() const { return shape_; }
    // The commented cell.
    RangePtr parent() const;
    int row() const { return row_; }
    int column() const { return column_; }
    // Follows its cell to a new place when rows of the sheet are removed.
    void moveTo(int row, int column) {
        row_ = row;
        column_ = column;
    }
    // Removes the comment from its cell.
    void remove();

private:
    std::weak_ptr<Worksheet> sheet_;
    int row_;
    int column_;
    std::string text_;
    std::string author_;
    ShapePtr shape_;
};
using CommentPtr = std::shared_ptr<Comment>;

}  // namespace host::sheet
