#pragma once
// The "programs:" list of XScreenSaver's ~/.xscreensaver, read as the daemon
// reads it (lines joined at a trailing backslash, then the escapes \n, \t, \r
// and \X; "key: value"; one entry a line of the value: an optional "-" for
// turned off, an optional "visual:", an optional "name" in double quotes,
// then the command), and changed by inserting or removing bytes only, so
// that everything else in the file stays as it was, byte for byte.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace install {

struct ProgramEntry {
    bool enabled = true;
    std::string visual;    // "GL" in "GL: command", else empty
    std::string name;      // the quoted name, else empty
    std::string command;   // the rest, whitespace at its ends removed
    // Where the entry lies in the file: its first byte, and the first byte
    // after the \n that ends it (after its last byte when nothing ends it).
    std::size_t begin = 0, end = 0;
    std::size_t dash = std::string::npos;   // the "-" that turns it off
    std::size_t commandBegin = 0, commandEnd = 0;   // the command's bytes
};

struct ProgramsResource {
    std::size_t valueBegin = 0;   // just after "programs:"
    std::size_t lineBegin = 0;    // the first byte of its last physical line
    std::size_t end = 0;          // after its last physical line's text (before the newline)
    bool lastLineBlank = false;   // that line holds only blanks (the daemon's own style)
    bool endsWithNewline = false; // the value's last entry ends with \n
    bool empty = true;
    std::vector<ProgramEntry> entries;
};

// The last "programs:" resource of the file (the one that counts), if any.
// `key` is "programs" for ~/.xscreensaver, where nothing may stand between
// it and its colon, and "*programs" for app-defaults (read by Xrm).
std::optional<ProgramsResource> findPrograms(std::string_view text, std::string_view key = "programs");

// The first word of a command as /bin/sh reads it (quotes and backslashes).
std::string commandProgram(std::string_view command);

// "path --root" as an entry's command: the path quoted for /bin/sh when the
// daemon would otherwise split it or hand it to a shell unquoted, and with
// the file's own escapes. Empty when a path cannot be put in the file (a
// line break or another control character in it).
std::string entryCommand(std::string_view path);

// "  \"name\"  command": the name with what would end it early replaced.
std::string entryLine(std::string_view name, std::string_view command);

using IsOurs = std::function<bool(const ProgramEntry&)>;

enum class Change { Added, TurnedOn, AlreadyThere, Replaced, Removed, NotThere, NoList, Unsure };

// Appends `line` as the last entry, after the entries whose indexes
// XScreenSaver's "selected:" counts. An entry for which isOurs holds is kept
// (and turned on when it was off) instead. Returns what it did; NoList when
// the file has no "programs:" resource; Unsure, with `text` unchanged, when
// the list read back would not hold the user's entries and ours, one each.
Change addProgram(std::string& text, std::string_view line, const IsOurs& isOurs);

// Gives the first entry for which isTwin holds (a screensaver of our name
// that lies elsewhere) `command` in place of its own, turned on, so that the
// entries after it keep their places, and removes the other twins. Replaced,
// with `was` set to the command it had; NotThere when there is none; Unsure,
// with `text` unchanged, when the list read back would be other than that.
Change replaceProgram(std::string& text, std::string_view command, const IsOurs& isTwin, std::string* was = nullptr);

// Removes every entry for which isOurs holds.
Change removePrograms(std::string& text, const IsOurs& isOurs);

// The value of the last "key:" line that the daemon reads (its blanks at
// both ends removed), if there is one.
std::optional<std::string> resourceValue(std::string_view text, std::string_view key);

// That value set to `value`, everything else of the file as it was; where
// there is no such line, "key:\tvalue" is added at the end.
void setResource(std::string& text, std::string_view key, std::string_view value);

// A new ~/.xscreensaver holding the default list of the daemon's app-defaults
// file (its "*programs:" value, as it is there); nothing when it has none.
std::optional<std::string> preferencesFromDefaults(std::string_view appDefaults, std::string_view source);

} // namespace install
