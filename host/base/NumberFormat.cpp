// Choosing the section of a format code for a value and showing the value with it.

#include "host/base/NumberFormat.h"

#include <cmath>

#include "host/base/NumberFormatCode.h"

namespace host {

namespace {

using numfmt::Condition;
using numfmt::Section;
using numfmt::SectionKind;
using numfmt::TokenKind;

std::string formatText(const Section& section, const std::string& text) {
    std::string out;
    for (const auto& t : section.tokens) {
        if (t.kind == TokenKind::TextPlaceholder) out += text;
        else if (t.kind == TokenKind::Literal) out += t.text;
    }
    return out;
}

// The section for a number: each of the first two holds for its condition, given or implied
// (one section: all numbers; two: >= 0 and the rest; three: > 0, < 0 and the rest).
std::size_t chooseSection(const std::vector<Section>& sections, double value) {
    using Op = Condition::Op;
    const std::size_t n = sections.size();
    const Condition first = sections[0].condition.value_or(
        n == 1 ? Condition{} : Condition{n == 2 ? Op::GreaterEqual : Op::Greater, 0});
    if (first.holds(value)) return 0;
    if (n == 1) return 0;
    const Condition second = sections[1].condition.value_or(n == 2 ? Condition{} : Condition{Op::Less, 0});
    if (second.holds(value) || n == 2) return 1;
    return 2;
}

std::optional<std::string> formatNumber(double number, std::string_view code) {
    const auto format = numfmt::compileFormat(code);
    const std::size_t index = chooseSection(format->numberSections, number);
    const Section& section = format->numberSections[index];
    // Only the first section shows a minus sign of its own, unless its condition admits only
    // negative numbers; a negative value is shown with its minus even when it rounds to zero.
    const bool negative = number < 0;
    const bool minus = negative && index == 0 && !(section.condition && section.condition->onlyNonPositive());
    const double magnitude = std::fabs(number);
    std::string body;
    switch (section.kind) {
    case SectionKind::Date: {
        if (negative && index == 0) return std::nullopt;
        auto shown = numfmt::formatDateSection(section, magnitude);
        if (!shown) return std::nullopt;
        body = std::move(*shown);
        break;
    }
    case SectionKind::General:
        for (const auto& t : section.tokens)
            body += t.kind == TokenKind::General ? formatGeneral(magnitude) : t.kind == TokenKind::Literal ? t.text : "";
        break;
    case SectionKind::Text: body = formatGeneral(magnitude); break;
    case SectionKind::Number: {
        auto shown = numfmt::formatNumberSection(section, magnitude);
        if (!shown) return std::nullopt;
        body = std::move(*shown);
        break;
    }
    }
    return minus ? "-" + body : body;
}

}  // namespace

std::optional<std::string> tryFormatValue(const Variant& value, std::string_view code) {
    switch (value.type()) {
    case VarType::String: {
        const auto format = numfmt::compileFormat(code);
        return format->textSection ? formatText(*format->textSection, value.stringValue()) : value.stringValue();
    }
    case VarType::Boolean: return std::string(value.boolValue() ? "TRUE" : "FALSE");
    case VarType::Error: return cellErrorText(value.errorValue());
    default: break;
    }
    const double number = value.isEmpty() ? 0.0 : value.toDouble();
    if (code.empty()) return formatGeneral(number);
    return formatNumber(number, code);
}

std::string formatValue(const Variant& value, std::string_view code) {
    return tryFormatValue(value, code).value_or(cellErrorText(CellError::Value));
}

std::string displayText(const Variant& value, std::string_view code) {
    return tryFormatValue(value, code).value_or(std::string(kCellFill));
}

}  // namespace host
