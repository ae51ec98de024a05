// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RegistryCsv.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tevra {
namespace {

// Fields of a line that are kept: registry, assignment (the prefix) and name.
constexpr std::size_t kKeptFields = 3;
constexpr std::size_t kFields = 4;

struct LineBreak {
    std::size_t next;  // where the next line begins
    bool sound;  // LF or CR LF; a CR that no LF follows is not
};

// At a CR or LF.
LineBreak lineBreakAt(std::string_view text, std::size_t pos)
{
    if (text[pos] == '\n')
        return { pos + 1, true };
    if (pos + 1 < text.size() && text[pos + 1] == '\n')
        return { pos + 2, true };
    return { pos + 1, false };
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Characters that end a stretch of plain field text; a table, as nearly every
// byte of the lists passes this test.
constexpr std::array<bool, 256> stopsAt(std::string_view characters)
{
    std::array<bool, 256> stops {};
    for (const char c : characters)
        stops[static_cast<unsigned char>(c)] = true;
    return stops;
}

constexpr std::array<bool, 256> kUnquotedStops = stopsAt(std::string_view(",\r\n\0", 4));
constexpr std::array<bool, 256> kQuotedStops = stopsAt(std::string_view("\"\r\n\0", 4));

// One line as read, before it is judged.
struct Line {
    std::size_t fields = 0;
    std::string registry;
    std::string prefix;
    bool broken = false;  // a NUL, a stray quote, an unclosed quote or a bad line end
    bool blank = false;
    std::size_t next = 0;
};

class LineReader {
public:
    LineReader(std::string_view text, std::string_view registry, std::string& names)
        : text_(text)
        , recordStart_(std::string(registry) + ",")
        , names_(names)
    {
    }

    // Reads the line at `pos`; its name, if any, is appended to `names`.
    Line read(std::size_t pos)
    {
        Line line;
        pos_ = pos;
        if (pos_ < text_.size() && isLineEnd(text_[pos_])) {
            const LineBreak end = lineBreakAt(text_, pos_);
            line.blank = end.sound;
            line.broken = !end.sound;
            line.next = end.next;
            return line;
        }
        for (;;) {
            std::string* const sink = fieldSink(line, line.fields);
            if (pos_ < text_.size() && text_[pos_] == '"') {
                if (!readQuoted(line, sink))
                    return line;
                if (pos_ < text_.size() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
                    line.broken = true;  // text after the closing quote
            }
            readUnquoted(line, sink);
            ++line.fields;
            if (pos_ == text_.size()) {
                line.next = pos_;
                return line;
            }
            if (text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            const LineBreak end = lineBreakAt(text_, pos_);
            line.broken = line.broken || !end.sound;
            line.next = end.next;
            return line;
        }
    }

private:
    std::string* fieldSink(Line& line, std::size_t field)
    {
        std::string* const sinks[kKeptFields] = { &line.registry, &line.prefix, &names_ };
        return field < kKeptFields ? sinks[field] : nullptr;
    }

    // Takes the text from `pos_` up to the next character of `stops`, or the
    // end. A NUL breaks the line but not the scan.
    void take(Line& line, std::string* sink, const std::array<bool, 256>& stops)
    {
        for (;;) {
            const std::size_t start = pos_;
            while (pos_ < text_.size() && !stops[static_cast<unsigned char>(text_[pos_])])
                ++pos_;
            if (sink != nullptr)
                sink->append(text_.substr(start, pos_ - start));
            if (pos_ == text_.size() || text_[pos_] != '\0')
                return;
            line.broken = true;
            ++pos_;
        }
    }

    // From an opening quote to just past its closing one. False when the line
    // ended inside the quotes; then line.next is set.
    bool readQuoted(Line& line, std::string* sink)
    {
        ++pos_;
        for (;;) {
            take(line, sink, kQuotedStops);
            if (pos_ == text_.size())
                break;
            if (text_[pos_] != '"') {
                if (!lineGoesOn(line))
                    return false;
            } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
                if (sink != nullptr)
                    sink->push_back('"');
                pos_ += 2;
            } else {
                ++pos_;
                return true;
            }
        }
        line.broken = true;
        line.next = pos_;
        return false;
    }

    // A line break inside quotes. The registry's addresses run over several
    // lines, and may; a kept field may not. A next line that starts like a
    // line of this registry means the quote was never closed: the broken line
    // ends here so that it does not swallow that one.
    bool lineGoesOn(Line& line)
    {
        const LineBreak end = lineBreakAt(text_, pos_);
        if (line.fields < kKeptFields || text_.substr(end.next).starts_with(recordStart_)) {
            line.broken = true;
            line.next = end.next;
            return false;
        }
        pos_ = end.next;
        return true;
    }

    void readUnquoted(Line& line, std::string* sink) { take(line, sink, kUnquotedStops); }

    std::string_view text_;
    std::string recordStart_;
    std::string& names_;
    std::size_t pos_ = 0;
};

std::optional<std::uint64_t> hexPrefix(std::string_view text, unsigned digits)
{
    if (text.size() != digits)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | std::uint64_t(digit);
    }
    return value;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The longest name kept: today's longest is under 100 bytes, and a list that
// holds a megabyte-long one must not carry it into every row and alert.
constexpr std::size_t kMaxNameBytes = 256;

// Trims the name that starts at `start`; false when nothing usable is left.
// A control character would break the tab-separated exports and the console
// table, so such a name is refused rather than shown. A name too long is cut
// at a character boundary.
bool trimName(std::string& names, std::size_t start)
{
    while (names.size() > start && isBlank(names.back()))
        names.pop_back();
    std::size_t lead = start;
    while (lead < names.size() && isBlank(names[lead]))
        ++lead;
    names.erase(start, lead - start);
    if (names.size() - start > kMaxNameBytes) {
        std::size_t end = start + kMaxNameBytes;
        while (end > start && (static_cast<unsigned char>(names[end]) & 0xC0) == 0x80)
            --end;  // not inside a UTF-8 sequence
        names.resize(end);
    }
    const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    return names.size() > start && std::none_of(names.begin() + std::ptrdiff_t(start), names.end(), control);
}

}  // namespace

RegistryRows readRegistryCsv(std::string_view text, std::string_view registry, unsigned digits)
{
    RegistryRows rows;
    // The lists of today hold a line per 90 bytes or so, a quarter of it the name.
    rows.blocks.reserve(text.size() / 64);
    rows.names.reserve(text.size() / 4);
    std::size_t pos = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;  // a byte order mark
    LineReader reader(text, registry, rows.names);
    bool first = true;
    while (pos < text.size()) {
        const std::size_t nameStart = rows.names.size();
        const Line line = reader.read(pos);
        pos = line.next;
        if (line.blank)
            continue;
        const bool header = first && line.registry == "Registry";
        first = false;
        const std::optional<std::uint64_t> prefix = hexPrefix(line.prefix, digits);
        const bool usable = !header && !line.broken && line.fields == kFields && line.registry == registry
            && prefix.has_value() && trimName(rows.names, nameStart);
        if (!usable) {
            rows.names.resize(nameStart);
            rows.skipped += header ? 0 : 1;
            continue;
        }
        rows.names.push_back('\0');
        rows.blocks.push_back({ *prefix, std::uint32_t(nameStart) });
    }
    return rows;
}

}  // namespace tevra
