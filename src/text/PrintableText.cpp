#include "text/PrintableText.h"

#ifndef _WIN32
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>
#endif

namespace {

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none.
std::size_t sequenceLength(std::string_view text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = at(i);
    const std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if (!continuation(at(i + k)))
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF are no text.
    if ((b == 0xE0 && at(i + 1) < 0xA0) || (b == 0xED && at(i + 1) >= 0xA0) || (b == 0xF0 && at(i + 1) < 0x90) ||
        (b == 0xF4 && at(i + 1) >= 0x90))
        return 0;
    return n;
}

bool terminal(std::FILE* to)
{
#ifdef _WIN32
    (void)to;
    return false;
#else
    return ::isatty(::fileno(to)) == 1;
#endif
}

// The locale of the environment, not the program's, which may never have been set.
bool utf8Locale()
{
#ifdef _WIN32
    return true;
#else
    const locale_t l = ::newlocale(LC_CTYPE_MASK, "", locale_t(0));
    const bool utf8 = l && std::strcmp(::nl_langinfo_l(CODESET, l), "UTF-8") == 0;
    if (l)
        ::freelocale(l);
    return utf8;
#endif
}

bool write(std::FILE* to, const std::string& out)
{
    const bool written = std::fwrite(out.data(), 1, out.size(), to) == out.size();
    return std::fflush(to) == 0 && written && !std::ferror(to);
}

} // namespace

std::string printableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        const std::size_t n = sequenceLength(text, i);
        if (n == 0) {
            out += b >= 0x80 && b <= 0x9F ? '?' : text[i];
            ++i;
        } else if (b < 0x20 || b == 0x7F || (n == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            out += '?';
            i += n;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

bool printLines(std::FILE* to, std::string_view text)
{
    // An empty text is one empty line.
    std::string out(text.empty() ? 1 : 0, '\n');
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out += printableText(text.substr(0, end));
        out += '\n';
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    if (terminal(to) && !utf8Locale())
        for (char& c : out)
            if (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) <= 0x9F)
                c = '?';
    return write(to, out);
}

bool printData(std::FILE* to, std::string_view text)
{
    if (terminal(to))
        return printLines(to, text);
    std::string out(text);
    if (out.empty() || out.back() != '\n')
        out += '\n';
    return write(to, out);
}
