#include "host/sheet/Comment.h"

namespace host::sheet {

Comment::Comment(std::weak_ptr<Worksheet> sheet, int row, int column, std::string text, std::string author)
    : sheet_(std::move(sheet)), row_(row), column_(column), text_(std::move(text)), author_(std::move(author)),
      shape_(std::make_shared<Shape>("Comment " + std::to_string(row) + "," + std::to_string(column))) {}

RangePtr Comment::parent() const {
    auto sheet = sheet_.lock();
    if (!sheet) throw RuntimeError(err::ObjectRequired);
    return sheet->cells(row_, column_);
}

void Comment::remove() {
    auto sheet = sheet_.lock();
    if (!sheet) return;
    if (const Cell* cell = sheet->findCell(row_, column_); cell && cell->comment.get() == this) {
        sheet->cellAt(row_, column_).comment.reset();
        sheet->compact(row_, column_);
    }
}

}  // namespace host::sheet
