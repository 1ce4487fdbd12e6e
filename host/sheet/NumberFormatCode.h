#pragma once
// A cell's own number format code. The codes are kept once for the whole process (a sheet's cells
// share a few codes), so that a cell holds a pointer instead of a text of its own.

#include <string>
#include <string_view>

namespace host::sheet {

class NumberFormatCode {
public:
    NumberFormatCode() = default;
    NumberFormatCode& operator=(std::string_view code);

    const std::string& str() const { return code_ ? *code_ : none(); }
    operator const std::string&() const { return str(); }
    bool empty() const { return code_ == nullptr; }
    void clear() { code_ = nullptr; }

    friend bool operator==(const NumberFormatCode& a, std::string_view b) { return a.str() == b; }

private:
    static const std::string& none();
    const std::string* code_ = nullptr;  // nullptr: no code of the cell's own ("")
};

}  // namespace host::sheet
