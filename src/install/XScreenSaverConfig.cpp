#include "install/XScreenSaverConfig.h"

#include <algorithm>
#include <cctype>

namespace install {
namespace {

// One character of a logical line, and the bytes of the file it came from.
struct LogicalChar {
    char c;
    std::size_t from, to;
};

struct LogicalLine {
    std::vector<LogicalChar> chars;
    std::size_t lastLineBegin = 0;   // first byte of its last physical line
    std::size_t textEnd = 0;         // end of that line's text (before the newline)
};

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits the file into logical lines as the daemon's reader does: a physical
// line whose text (newline included) is longer than two bytes and ends in a
// backslash goes on with the next; then backslash escapes.
std::vector<LogicalLine> logicalLines(std::string_view text)
{
    std::vector<LogicalLine> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        LogicalLine line;
        std::vector<LogicalChar> raw;
        while (true) {
            line.lastLineBegin = pos;
            std::size_t eol = text.find('\n', pos);
            const bool newline = eol != std::string_view::npos;
            if (!newline)
                eol = text.size();
            for (std::size_t i = pos; i < eol; ++i)
                raw.push_back({text[i], i, i + 1});
            line.textEnd = eol;
            pos = newline ? eol + 1 : eol;
            if (newline && raw.size() + 1 > 2 && raw.back().c == '\\') {
                // Backslash-newline is swallowed, at the end of the file too.
                raw.pop_back();
                if (pos < text.size())
                    continue;
                break;
            }
            if (newline)
                raw.push_back({'\n', eol, eol + 1});
            break;
        }
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i].c != '\\') {
                line.chars.push_back(raw[i]);
                continue;
            }
            if (i + 1 == raw.size())
                break;   // a lone backslash at the very end ends the text
            const char next = raw[i + 1].c;
            const char c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
            line.chars.push_back({c, raw[i].from, raw[i + 1].to});
            ++i;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

bool sameKey(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string textOf(const std::vector<LogicalChar>& chars, std::size_t from, std::size_t to)
{
    std::string s;
    for (std::size_t i = from; i < to; ++i)
        s += chars[i].c;
    return s;
}

// One entry of the value, chars [from, to), as the daemon's parser reads it.
ProgramEntry parseEntry(const std::vector<LogicalChar>& chars, std::size_t from, std::size_t to)
{
    ProgramEntry e;
    std::size_t i = from;
    auto space = [&](std::size_t k) { return std::isspace(static_cast<unsigned char>(chars[k].c)) != 0; };
    while (i < to && space(i))
        ++i;
    if (i < to && chars[i].c == '-') {
        e.enabled = false;
        e.dash = chars[i].from;
        ++i;
        while (i < to && space(i))
            ++i;
    }
    std::size_t k = i;
    while (k < to && chars[k].c != ':' && chars[k].c != '"' && !space(k))
        ++k;
    if (k < to && chars[k].c == ':') {
        e.visual = textOf(chars, i, k);
        i = k + 1;
        while (i < to && space(i))
            ++i;
    }
    if (i < to && chars[i].c == '"') {
        std::size_t q = i + 1;
        while (q < to && chars[q].c != '"')
            ++q;
        e.name = textOf(chars, i + 1, q);
        i = q < to ? q + 1 : q;
        while (i < to && space(i))
            ++i;
    }
    std::size_t end = to;
    while (end > i && space(end - 1))
        --end;
    e.command = textOf(chars, i, end);
    e.commandBegin = i < end ? chars[i].from : to > from ? chars[to - 1].to : 0;
    e.commandEnd = i < end ? chars[end - 1].to : e.commandBegin;
    return e;
}

// The colon of `line` when its key is `key`. The daemon's reader of
// ~/.xscreensaver takes everything before the colon for the key: "programs :"
// is a key it does not know, and its list is never run. Xrm, which reads the
// app-defaults file ("*programs"), allows blanks there.
std::optional<std::size_t> colonOfKey(const LogicalLine& line, std::string_view key)
{
    const auto& c = line.chars;
    std::size_t b = 0;
    while (b < c.size() && blank(c[b].c))
        ++b;
    if (b == c.size() || c[b].c == '#' || c[b].c == '!' || c[b].c == ';')
        return std::nullopt;
    std::size_t colon = b;
    while (colon < c.size() && c[colon].c != ':')
        ++colon;
    if (colon == c.size())
        return std::nullopt;
    std::size_t keyEnd = colon;
    while (!key.empty() && key.front() == '*' && keyEnd > b && blank(c[keyEnd - 1].c))
        --keyEnd;
    if (!sameKey(textOf(c, b, keyEnd), key))
        return std::nullopt;
    return colon;
}

constexpr std::string_view shellSpecial = " \t*?$&!<>[];`'\\\"=#~|(){}";

} // namespace

std::optional<ProgramsResource> findPrograms(std::string_view text, std::string_view key)
{
    std::optional<ProgramsResource> found;
    for (const LogicalLine& line : logicalLines(text)) {
        const auto& c = line.chars;
        const auto colonAt = colonOfKey(line, key);
        if (!colonAt)
            continue;
        const std::size_t colon = *colonAt;
        ProgramsResource r;
        r.valueBegin = c[colon].to;
        r.lineBegin = line.lastLineBegin;
        r.end = line.textEnd;
        r.lastLineBlank = r.lineBegin > r.valueBegin &&
                          std::all_of(text.begin() + std::ptrdiff_t(r.lineBegin), text.begin() + std::ptrdiff_t(r.end),
                                      [](char ch) { return ch == ' ' || ch == '\t'; });
        // The value: stripped at both ends, then split at its line breaks.
        std::size_t v = colon + 1, vEnd = c.size();
        while (v < vEnd && blank(c[v].c))
            ++v;
        while (vEnd > v && blank(c[vEnd - 1].c))
            --vEnd;
        r.empty = v == vEnd;
        // Whether the last entry already ends with \n: the daemon's strip
        // drops it from the value, but it is there in the file.
        std::size_t last = c.size();
        while (last > colon + 1 && (c[last - 1].c == ' ' || c[last - 1].c == '\t' || c[last - 1].c == '\r' ||
                                    (c[last - 1].c == '\n' && c[last - 1].to - c[last - 1].from == 1)))
            --last;
        r.endsWithNewline = last > colon + 1 && c[last - 1].c == '\n';
        std::size_t start = v;
        std::size_t previousEnd = c[colon].to;   // where the bytes of the next entry begin
        while (start < vEnd) {
            while (start < vEnd && (c[start].c == ' ' || c[start].c == '\t' || c[start].c == '\n'))
                ++start;
            if (start >= vEnd)
                break;
            std::size_t end = start;
            while (end < vEnd && c[end].c != '\n')
                ++end;
            ProgramEntry e = parseEntry(c, start, end);
            e.begin = previousEnd;
            // Through the \n that ends it, also where the value's strip cut it off.
            std::size_t stop = end;
            while (stop < c.size() && stop < last && c[stop].c != '\n')
                ++stop;
            e.end = stop < last ? c[stop].to : c[end - 1].to;
            previousEnd = e.end;
            r.entries.push_back(std::move(e));
            start = end + 1;
        }
        found = std::move(r);
    }
    return found;
}

std::string commandProgram(std::string_view command)
{
    std::string word;
    std::size_t i = 0;
    while (i < command.size() && (command[i] == ' ' || command[i] == '\t'))
        ++i;
    for (; i < command.size(); ++i) {
        const char c = command[i];
        if (c == ' ' || c == '\t')
            break;
        if (c == '\'') {
            const std::size_t close = command.find('\'', i + 1);
            word += command.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
            if (close == std::string_view::npos)
                break;
            i = close;
        } else if (c == '"') {
            for (++i; i < command.size() && command[i] != '"'; ++i) {
                if (command[i] == '\\' && i + 1 < command.size() && std::string_view("\"\\$`").find(command[i + 1]) != std::string_view::npos)
                    ++i;
                word += command[i];
            }
        } else if (c == '\\' && i + 1 < command.size()) {
            word += command[++i];
        } else {
            word += c;
        }
    }
    return word;
}

std::string entryCommand(std::string_view path)
{
    if (path.empty() || std::any_of(path.begin(), path.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return {};
    std::string shell;
    if (path.find_first_of(shellSpecial) == std::string_view::npos) {
        shell = path;
    } else {
        // Quoted, the daemon hands it to /bin/sh, which takes it as one word.
        shell = "'";
        for (const char c : path)
            shell += c == '\'' ? std::string("'\\''") : std::string(1, c);
        shell += "'";
    }
    std::string escaped;
    for (const char c : shell) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped + " --root";
}

std::string entryLine(std::string_view name, std::string_view command)
{
    std::string quoted;
    for (const char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"')
            quoted += '\'';
        else if (c == '\\')
            quoted += "\\\\";
        else if (u >= 0x20 && u != 0x7F)
            quoted += c;
    }
    return "  \"" + quoted + "\"  " + std::string(command);
}

Change addProgram(std::string& text, std::string_view line, const IsOurs& isOurs)
{
    const auto r = findPrograms(text);
    if (!r)
        return Change::NoList;
    const auto ours = std::find_if(r->entries.begin(), r->entries.end(), isOurs);
    if (ours != r->entries.end()) {
        if (ours->enabled)
            return Change::AlreadyThere;
        text.erase(ours->dash, 1);
        return Change::TurnedOn;
    }
    // A last entry without its "\n" would run on into ours.
    const bool separate = !r->empty && !r->endsWithNewline;
    std::string changed = text;
    if (r->lastLineBlank) {
        // The daemon's own layout: every entry on a line of its own ending in
        // "\n\", and a blank line after the last.
        changed.insert(r->lineBegin, (separate ? "\\n\\\n" : "") + std::string(line) + " \\n\\\n");
    } else {
        changed.insert(r->end, (separate ? " \\n" : "") + std::string("\\\n") + std::string(line) + " \\n");
    }
    // Read back as the daemon reads it: every entry of the user's as it was,
    // and ours once, after them. Anything else is not written.
    const auto after = findPrograms(changed);
    if (!after || after->entries.size() != r->entries.size() + 1 || !isOurs(after->entries.back()) ||
        std::count_if(after->entries.begin(), after->entries.end(), isOurs) != 1)
        return Change::Unsure;
    for (std::size_t k = 0; k < r->entries.size(); ++k) {
        const ProgramEntry &was = r->entries[k], &is = after->entries[k];
        if (was.enabled != is.enabled || was.visual != is.visual || was.name != is.name || was.command != is.command)
            return Change::Unsure;
    }
    text = std::move(changed);
    return Change::Added;
}

Change replaceProgram(std::string& text, std::string_view command, const IsOurs& isTwin, std::string* was)
{
    const auto r = findPrograms(text);
    if (!r)
        return Change::NoList;
    const auto first = std::find_if(r->entries.begin(), r->entries.end(), isTwin);
    if (first == r->entries.end())
        return Change::NotThere;
    std::string changed = text;
    // From the end, so that the places of the bytes before stay true.
    for (auto e = r->entries.rbegin(); e != r->entries.rend(); ++e) {
        if (!isTwin(*e))
            continue;
        if (&*e != &*first) {
            changed.erase(e->begin, e->end - e->begin);
            continue;
        }
        changed.replace(e->commandBegin, e->commandEnd - e->commandBegin, command);
        if (!e->enabled)
            changed.erase(e->dash, 1);
    }
    const auto after = findPrograms(changed);
    const std::size_t at = std::size_t(first - r->entries.begin());
    const auto twins = std::size_t(std::count_if(r->entries.begin(), r->entries.end(), isTwin));
    if (!after || after->entries.size() != r->entries.size() + 1 - twins || !after->entries[at].enabled ||
        after->entries[at].name != first->name ||
        std::count_if(after->entries.begin(), after->entries.end(), isTwin) != (isTwin(after->entries[at]) ? 1 : 0))
        return Change::Unsure;
    if (was)
        *was = first->command;
    text = std::move(changed);
    return Change::Replaced;
}

Change removePrograms(std::string& text, const IsOurs& isOurs)
{
    const auto r = findPrograms(text);
    if (!r)
        return Change::NoList;
    bool removed = false;
    for (auto e = r->entries.rbegin(); e != r->entries.rend(); ++e) {
        if (!isOurs(*e))
            continue;
        text.erase(e->begin, e->end - e->begin);
        removed = true;
    }
    return removed ? Change::Removed : Change::NotThere;
}

namespace {

// The last line of `key`, with the bytes of its value (blanks at both ends left out).
struct ResourceLine {
    std::size_t begin = 0, end = 0;
    std::string value;
};

std::optional<ResourceLine> findResource(std::string_view text, std::string_view key)
{
    std::optional<ResourceLine> found;
    for (const LogicalLine& line : logicalLines(text)) {
        const auto colon = colonOfKey(line, key);
        if (!colon)
            continue;
        const auto& c = line.chars;
        std::size_t v = *colon + 1, vEnd = c.size();
        while (v < vEnd && blank(c[v].c))
            ++v;
        while (vEnd > v && blank(c[vEnd - 1].c))
            --vEnd;
        const std::size_t at = v < vEnd ? c[v].from : c[*colon].to;
        found = ResourceLine{at, v < vEnd ? c[vEnd - 1].to : at, textOf(c, v, vEnd)};
    }
    return found;
}

} // namespace

std::optional<std::string> resourceValue(std::string_view text, std::string_view key)
{
    const auto r = findResource(text, key);
    return r ? std::optional<std::string>(r->value) : std::nullopt;
}

void setResource(std::string& text, std::string_view key, std::string_view value)
{
    if (const auto r = findResource(text, key)) {
        const bool spaced = r->begin > 0 && (text[r->begin - 1] == ' ' || text[r->begin - 1] == '\t');
        text.replace(r->begin, r->end - r->begin, (spaced ? "" : "\t") + std::string(value));
        return;
    }
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += std::string(key) + ":\t" + std::string(value) + "\n";
}

std::optional<std::string> preferencesFromDefaults(std::string_view appDefaults, std::string_view source)
{
    const auto r = findPrograms(appDefaults, "*programs");
    if (!r)
        return std::nullopt;
    std::string text = "# XScreenSaver Preferences File\n"
                       "# Made by Glimmer from the daemon's defaults (" + std::string(source) + ").\n"
                       "# Every setting not named here keeps its default.\n\n";
    text += "programs:";
    text += appDefaults.substr(r->valueBegin, r->end - r->valueBegin);
    text += "\n";
    return text;
}

} // namespace install
