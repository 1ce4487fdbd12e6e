#include "host/formula/Builtins.h"

#include <map>
#include <string>

namespace host::formula {

namespace {

std::string upperAscii(std::string_view name) {
    std::string s(name);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

const std::map<std::string, const Builtin*, std::less<>>& table() {
    static const std::map<std::string, const Builtin*, std::less<>> byName = [] {
        std::map<std::string, const Builtin*, std::less<>> m;
        for (auto group : {logicalBuiltins(), mathBuiltins(), rangeBuiltins(), textBuiltins()})
            for (const Builtin& b : group) m[std::string(b.name)] = &b;
        return m;
    }();
    return byName;
}

}  // namespace

const Builtin* findBuiltin(std::string_view name) {
    const auto it = table().find(upperAscii(name));
    return it == table().end() ? nullptr : it->second;
}

bool isBuiltinFunction(std::string_view name) { return findBuiltin(name) != nullptr; }

}  // namespace host::formula
