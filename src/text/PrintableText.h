#pragma once
// Text for a terminal or a log. Names come from project files, folders and
// pictures that may be a stranger's, and a terminal acts on the control
// characters they may hold (a title set, the cursor moved, the rest of the
// output hidden): whatever the program and the players print goes through
// here, and those characters show as "?". Plain C++: the players use it too.
#include <cstdio>
#include <string>
#include <string_view>

// `text` (UTF-8) with every control character as "?": C0, DEL and C1
// (U+0080..U+009F), and a stray byte 0x80..0x9F, which a terminal that is
// not set to UTF-8 takes for C1. Other bytes stay as they are.
std::string printableText(std::string_view text);

// Writes each line of `text` (up to a line break, or the end) as
// printableText shows it, followed by a line break, and flushes. On a
// terminal whose locale is not UTF-8, which takes every byte 0x80..0x9F for
// C1 even inside a UTF-8 character, those bytes show as "?" too. False when
// not all of it could be written (a closed pipe, a full disk).
bool printLines(std::FILE* to, std::string_view text);

// Data for scripts, such as a path written: `text`, ended by a line break,
// exactly as it is where `to` is no terminal, else as printLines shows it.
bool printData(std::FILE* to, std::string_view text);
