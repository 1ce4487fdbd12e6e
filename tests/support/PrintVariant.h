#pragma once
// Readable Variants in test failure messages.

#include <ostream>

#include "host/base/Variant.h"

namespace host {

inline void PrintTo(const Variant& value, std::ostream* os) {
    if (value.isArray()) {
        const Array& a = value.arrayValue();
        *os << "Array{";
        for (std::size_t i = 0; i < a.elements().size(); ++i) {
            if (i) *os << ", ";
            PrintTo(a.elements()[i], os);
        }
        *os << "}";
        return;
    }
    *os << typeName(value) << "(";
    try {
        *os << (value.isNull() ? std::string("Null") : value.toString());
    } catch (...) {
        *os << "?";
    }
    *os << ")";
}

}  // namespace host
