#pragma once
// Reading and writing the body of a reference ("A1", "$A:$C", "3:5", "R[-1]C2", "R1:R3") in either
// style. Private to host/formula: the lexer and the address functions share it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/formula/Formula.h"
#include "host/formula/Node.h"

namespace host::formula {

// A character that may continue a name, a function name or an unquoted sheet name: ASCII letters and
// digits, "_", ".", "\" and every byte of a multi-byte UTF-8 character.
bool isNameCharacter(char c);
// A character that may start a name.
bool isNameStart(char c);

struct AreaMatch {
    Area area;
    ReferenceFlags flags;
    std::size_t length = 0;     // bytes read
    bool outsideSheet = false;  // the text is a reference, but beyond the sheet's limits
};

// Reads a reference body at the start of text. nullopt when the text does not start with one that
// ends where a reference may end (not followed by a name character, "(" or "!"). In R1C1 style,
// relative parts resolve against the anchor.
std::optional<AreaMatch> matchArea(std::string_view text, ReferenceStyle style, int anchorRow, int anchorColumn);

// The text of an area with per-corner "$" flags; whole columns and whole rows in their short form.
std::string formatAreaWithFlags(const Area& area, const ReferenceFlags& flags, ReferenceStyle style,
                                int anchorRow, int anchorColumn);

// True for a sheet name that must be quoted because it reads as a reference ("A1", "R2C3", "C").
bool looksLikeReference(std::string_view name);

}  // namespace host::formula
