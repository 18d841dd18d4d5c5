#include "text/message_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace velmora {
namespace {

std::string hexEscape(const char* format, unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t sequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u)
            return 0;
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\n') {
            out += "\\n", ++i;
        } else if (c == '\t') {
            out += "\\t", ++i;
        } else if (c == '\r') {
            out += "\\r", ++i;
        } else if (c < 0x80) {
            out += hexEscape("\\x%02X", c), ++i;
        } else if (const std::size_t n = sequenceLength(text.substr(i)); n == 0) {
            out += hexEscape("\\x%02X", c), ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            // U+0080..U+009F: C1 controls, which some terminals obey like escape sequences.
            out += hexEscape("\\u%04X", static_cast<unsigned char>(text[i + 1])), i += 2;
        } else {
            out.append(text.substr(i, n)), i += n;
        }
    }
    return out;
}

std::string utf8Text(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t n = sequenceLength(text.substr(i)); n == 0) {
            out += hexEscape("\\x%02X", c), ++i;
        } else {
            out.append(text.substr(i, n)), i += n;
        }
    }
    return out;
}

std::string excerpt(std::string_view text, std::size_t max)
{
    if (text.size() <= max)
        return printable(text);
    std::size_t cut = max;
    // Not in the middle of a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u)
        --cut;
    return printable(text.substr(0, cut)) + "...";
}

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

// Levenshtein distance, one row at a time.
std::size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::optional<std::string_view> closestName(std::string_view text, std::span<const std::string_view> known)
{
    // A key from a hostile file may be megabytes long; no name is anywhere near that.
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    const std::string typed = lowered(text);
    std::optional<std::string_view> best;
    std::size_t bestDistance = 0;
    for (const std::string_view name : known) {
        const std::string candidate = lowered(name);
        const std::size_t distance = editDistance(typed, candidate);
        const bool near = 3 * distance <= std::max(typed.size(), candidate.size());
        const bool contained = typed.size() >= 3 && (candidate.find(typed) != std::string::npos ||
                                                     typed.find(candidate) != std::string::npos);
        if ((near || contained) && (!best || distance < bestDistance)) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace velmora
