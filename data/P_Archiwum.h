#pragma once
// The archive of fetched values: each worksheet N may have a hidden twin sheet N & ".a" in the same
// workbook. A twin cell (same address as the cell it archives) holds nothing, the frozen value of
// the cell's data function, or "." (a point: the function shows "." and does not query). A frozen
// value carries a comment whose first line, once decoded, is the request that produced it (its
// SourceDescription: "s(:)" connection "(:)" SQL, "m(:)" connection "(:)" MDX, "l(:)" link).
// Markers: "." no twin sheet (or a point), ".." no archived value or an archive command running,
// "#Arch!" the archived request differs from the cell's current one.
// The lookups work on the calling cell (Application.Caller) and never raise.

#include <optional>
#include <string>

#include "host/base/Variant.h"
#include "host/sheet/Worksheet.h"

namespace telm {

// The value of the caller's twin cell (for a caller of several cells, the block of values); ".."
// when the twin cell (every cell of the block) is empty or an archive command runs; "." when there is no twin sheet or no
// calling range.
host::Variant GetArchivedValue();

// The request recorded in the comment of the caller's twin cell, decoded; "." when there is no twin
// sheet (or while an archive command runs), ".." when the twin cell has no comment or its comment
// holds no line feed.
std::string GetArchivedSource();

// Turns a SourceDescription into the text of an archive comment ("s(:)" -> "--> ODBC:" LF, "(:)" ->
// "-->", ";" -> ";" LF, ...), in place, and returns it.
std::string EncodeSourceComment(std::string& text);
// The reverse of EncodeSourceComment, in place; returns the SourceDescription of an archive comment:
// the part before the comment's last blank line (the signature follows it), or, in a comment without
// one, before the first line feed left. Raises 5 when no line feed is left.
std::string DecodeSourceComment(std::string& text);

// A twin sheet's name ends ".a" in any letter case.
bool IsArchiveSheetName(const std::string& name);
// Whether a sheet is one the archive made, so that its commands may write into it or delete it: it
// holds only archive entries (values and emptied cells under an archive comment, points) and no
// drawings of its own, and, when visible, at least one entry. A sheet of the user's that happens to
// be named like a twin is not one.
bool IsArchiveTwin(const host::sheet::Worksheet& sheet);

// Which order of the archive decision a worker uses.

enum class ArchiveOrder {
    Standard,
    // The order of the OLAP2 builder: an empty twin cell goes live before a matching comment is served.
    EmptyTwinFirst,
};

// The archive decision for a worker's request key (its SourceDescription): nullopt means "go on
// live"; otherwise the value to answer (the archived value, a point, or "#Arch!"). Counts archive
// hits in ArchiveHitCount.
//   - an archive command running: live;
//   - the recorded request equals the key, or a twin sheet exists and the twin cell holds ".": the
//     twin cell's value (so an empty twin cell whose comment matches answers "..", except with
//     EmptyTwinFirst);
//   - the twin cell empty, or no twin sheet: live;
//   - otherwise (a value recorded for another request, or without a comment): "#Arch!".
// The workers that answer a describe request before the archive (GETDATAOLAP's and the MDX-text
// worker's order) test their describe request before calling this; the others call this first.
std::optional<host::Variant> ArchiveDecision(const std::string& key, ArchiveOrder order = ArchiveOrder::Standard);

// Appends `line` and CR LF to a text file (by default "Log\other.log" under the add-in folder). When
// the file does not exist yet it is created, and when `header` is non-empty the data-source settings
// header goes in first. `flag` is accepted and not used. Returns True; raises to the caller only
// when the file can be neither opened nor created (a missing folder: 76).
bool AppendLogLine(const std::string& line, const std::optional<std::string>& file = std::nullopt, bool flag = false,
                   const std::string& header = {});

}  // namespace telm
