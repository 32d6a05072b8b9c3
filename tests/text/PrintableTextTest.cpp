#include "text/PrintableText.h"

#include <gtest/gtest.h>
#include <pty.h>

// A terminal whose locale is not UTF-8 takes 0x9B for CSI even inside a
// UTF-8 character: here U+201B, then "8m", which would hide what follows.
TEST(PrintableText, ATerminalNotSetToUtf8IsSentNoC1Byte)
{
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* terminal = ::fdopen(slave, "w");
    for (const auto& [locale, shown] : {std::pair{"C.UTF-8", "a\xE2\x80\x9B" "8m\r\n"}, {"C", "a\xE2??8m\r\n"}}) {
        ::setenv("LC_ALL", locale, 1);
        EXPECT_TRUE(printLines(terminal, "a\xE2\x80\x9B" "8m"));
        char got[64];
        EXPECT_EQ(std::string(got, std::size_t(std::max<ssize_t>(::read(master, got, sizeof got), 0))), shown) << locale;
    }
    ::unsetenv("LC_ALL");
    std::fclose(terminal);
    ::close(master);
}
