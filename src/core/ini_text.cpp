// The settings-file codec works on bytes and follows these rules.
//
// Lines     A line ends at CR LF, at LF or at a lone CR; files with any of them
//           read alike. Lines the codec writes end in CR LF; every line it does
//           not write keeps its bytes, its own line end included.
// Blanks    Spaces and tabs around section names, key names and values do not
//           count.
// Sections  A line whose first non-blank byte is "[" and that holds a "]" opens
//           a section; the name lies between the "[" and the first "]", and
//           anything after the "]" is ignored.
// Entries   Inside a section, "key=value" split at the first "=". Blank lines,
//           lines whose first non-blank byte is ";" (comments), lines without
//           "=" and every line before the first section are ignored.
// Names     Section and key names match without regard to the case of ASCII
//           letters; every other byte must be equal (the names are GBK bytes).
// Repeats   The first section of a name counts: a later section of the same
//           name is ignored by a read and left alone by a write. In the section,
//           the first entry of a key counts the same way.
// Values    One pair of matching enclosing quotes, single or double, is
//           removed; the result is cut to its first 2047 bytes.
// Writing   An existing entry's line is rewritten in place as "key=value". A
//           missing key is added after the last non-blank line of its section;
//           a missing section is appended at the end of the file, with no blank
//           line before it. A last line without a line end gets CR LF before
//           anything is added after it, so lines are never glued together.
//           So that every value reads back exactly as it was written, a value
//           with a blank at either end, or one enclosed in a pair of quotes, is
//           written inside double quotes; and a CR or LF in a section name, key
//           or value, which would split the line, is written as a space.
// BOMs      A UTF-8 byte order mark at the start is skipped by a read and kept
//           by a write. A file that starts with the UTF-16 LE mark is read and
//           written as UTF-16 LE: a code unit up to 0xFF stands for the byte of
//           the same value, so the byte names and values the program uses pass
//           through unchanged and the file stays valid UTF-16; a unit above
//           0xFF matches no name and reads as "?". A stray odd last byte is
//           kept as it is.
#include "core/ini_text.h"

#include <vector>

namespace kwp::core {
namespace {

template <class C>
using Text = std::basic_string<C>;
template <class C>
using View = std::basic_string_view<C>;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

template <class C>
struct Line {
    View<C> content;
    View<C> end;  // CR LF, LF, CR, or nothing on a last line without one
};

template <class C>
std::vector<Line<C>> SplitLines(View<C> text) {
    std::vector<Line<C>> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t stop = start;
        while (stop < text.size() && text[stop] != C('\n') && text[stop] != C('\r')) ++stop;
        size_t endLength = 0;
        if (stop < text.size())
            endLength = text[stop] == C('\r') && stop + 1 < text.size() && text[stop + 1] == C('\n') ? 2 : 1;
        lines.push_back({text.substr(start, stop - start), text.substr(stop, endLength)});
        start = stop + endLength;
    }
    return lines;
}

template <class C>
bool IsBlank(C c) {
    return c == C(' ') || c == C('\t');
}

template <class C>
View<C> Trim(View<C> s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

template <class C>
C FoldAscii(C c) {
    return c >= C('A') && c <= C('Z') ? C(c - C('A') + C('a')) : c;
}

template <class C>
bool NamesMatch(View<C> a, View<C> b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

template <class C>
struct ParsedLine {
    enum Kind { Other, Section, Entry } kind = Other;
    View<C> name;
    View<C> value;
};

template <class C>
ParsedLine<C> ParseLine(View<C> content) {
    View<C> line = Trim(content);
    if (line.empty() || line.front() == C(';')) return {};
    if (line.front() == C('[')) {
        size_t close = line.find(C(']'));
        if (close == View<C>::npos) return {};
        return {ParsedLine<C>::Section, Trim(line.substr(1, close - 1)), {}};
    }
    size_t equals = line.find(C('='));
    if (equals == View<C>::npos) return {};
    return {ParsedLine<C>::Entry, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// Where a key of a section stands in the file's lines.
template <class C>
struct Place {
    std::optional<size_t> header;  // the first section of the name
    size_t lastInSection = 0;      // its last non-blank line
    std::optional<size_t> entry;   // the key's first entry in it
    View<C> value;                 // that entry's value, quotes not yet removed
};

template <class C>
Place<C> Locate(const std::vector<Line<C>>& lines, View<C> section, View<C> key) {
    Place<C> place;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        ParsedLine<C> parsed = ParseLine(lines[i].content);
        if (parsed.kind == ParsedLine<C>::Section) {
            if (place.header) break;
            inSection = NamesMatch(parsed.name, section);
            if (inSection) place.header = place.lastInSection = i;
            continue;
        }
        if (!inSection) continue;
        if (!Trim(lines[i].content).empty()) place.lastInSection = i;
        if (parsed.kind == ParsedLine<C>::Entry && NamesMatch(parsed.name, key)) {
            place.entry = i;
            place.value = parsed.value;
            break;
        }
    }
    return place;
}

template <class C>
bool IsQuoted(View<C> value) {
    return value.size() >= 2 && value.front() == value.back() &&
           (value.front() == C('"') || value.front() == C('\''));
}

template <class C>
Text<C> Store(View<C> file, View<C> section, View<C> key, View<C> entryLine) {
    const Text<C> crlf{C('\r'), C('\n')};
    std::vector<Line<C>> lines = SplitLines(file);
    Place<C> place = Locate(lines, section, key);

    Text<C> out;
    out.reserve(file.size() + entryLine.size() + section.size() + 8);
    // Only a last line can lack its end; it needs one when something follows.
    auto copyLine = [&](const Line<C>& line, bool needsEnd) {
        out += line.content;
        if (line.end.empty() && needsEnd)
            out += crlf;
        else
            out += line.end;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        if (place.entry && i == *place.entry) {
            out += entryLine;
            continue;
        }
        bool addAfter = !place.entry && place.header && i == place.lastInSection;
        copyLine(lines[i], addAfter || !place.header);
        if (addAfter) out += entryLine;
    }
    if (!place.header) {
        out += C('[');
        out += section;
        out += C(']');
        out += crlf;
        out += entryLine;
    }
    return out;
}

// A name or value as it is written: line breaks become spaces.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

// The entry line for key and value.
std::string EntryLine(std::string_view key, std::string_view value) {
    return OneLine(key) + '=' + IniValueAsWritten(value) + "\r\n";
}

std::string FinishValue(std::string value) {
    if (IsQuoted<char>(value)) value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxProfileValue) value.resize(kMaxProfileValue);
    return value;
}

// UTF-16 LE files: one code unit per byte of the names and values.
struct Utf16File {
    std::u16string units;
    std::string_view strayByte;
};

Utf16File DecodeUtf16Le(std::string_view bytes) {
    Utf16File file;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        file.units += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (bytes.size() % 2) file.strayByte = bytes.substr(bytes.size() - 1);
    return file;
}

std::string EncodeUtf16Le(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

std::u16string Widen(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    for (char c : bytes) units += static_cast<char16_t>(static_cast<uint8_t>(c));
    return units;
}

std::string Narrow(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size());
    for (char16_t u : units) bytes += u <= 0xFF ? static_cast<char>(u) : '?';
    return bytes;
}

}  // namespace

std::string IniValueAsWritten(std::string_view value) {
    std::string v = OneLine(value);
    if (!v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) || IsQuoted<char>(v))) v = '"' + v + '"';
    return v;
}

std::optional<std::string> IniLookup(std::string_view file, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    if (file.starts_with(kUtf16LeBom)) {
        Utf16File text = DecodeUtf16Le(file.substr(kUtf16LeBom.size()));
        std::u16string wideSection = Widen(section), wideKey = Widen(key);
        Place<char16_t> place =
            Locate<char16_t>(SplitLines<char16_t>(text.units), wideSection, wideKey);
        if (!place.entry) return std::nullopt;
        return FinishValue(Narrow(place.value));
    }
    if (file.starts_with(kUtf8Bom)) file.remove_prefix(kUtf8Bom.size());
    Place<char> place = Locate<char>(SplitLines<char>(file), section, key);
    if (!place.entry) return std::nullopt;
    return FinishValue(std::string(place.value));
}

std::string IniStore(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
    std::string name = OneLine(Trim(section));
    std::string keyName = OneLine(Trim(key));
    std::string entryLine = EntryLine(keyName, value);
    if (file.starts_with(kUtf16LeBom)) {
        Utf16File text = DecodeUtf16Le(file.substr(kUtf16LeBom.size()));
        std::u16string wideName = Widen(name), wideKey = Widen(keyName), wideLine = Widen(entryLine);
        std::u16string stored = Store<char16_t>(text.units, wideName, wideKey, wideLine);
        return std::string(kUtf16LeBom) + EncodeUtf16Le(stored) + std::string(text.strayByte);
    }
    std::string_view bom;
    if (file.starts_with(kUtf8Bom)) {
        bom = kUtf8Bom;
        file.remove_prefix(kUtf8Bom.size());
    }
    return std::string(bom) + Store<char>(file, name, keyName, entryLine);
}

}  // namespace kwp::core
