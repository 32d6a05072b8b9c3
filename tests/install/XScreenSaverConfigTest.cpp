// XScreenSaver's programs: list, read as the daemon reads it and changed by
// inserting or removing bytes only.
#include "install/XScreenSaverConfig.h"

#include <gtest/gtest.h>

using namespace install;

namespace {
// As xscreensaver-settings writes the file: entries on lines of their own,
// each ending in "\n\", a blank line after the last.
const std::string daemonWritten =
    "# XScreenSaver Preferences File\n"
    "# Written by xscreensaver-settings 6.06 for someone on Mon Jan  1 00:00:00 2024.\n"
    "# https://www.jwz.org/xscreensaver/\n"
    "\n"
    "timeout:\t0:10:00\n"
    "mode:\t\tone\n"
    "selected:\t2\n"
    "\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
    "-\t\t\t\tattraction --root\t\t\t    \\n\\\n"
    "  \"Qix (solid)\" \tqix -root -solid\t\t\t\t    \\n\\\n"
    "\n"
    "\n"
    "pointerHysteresis:\t10\n";

const std::string path = "/home/someone/savers/SUNSET.SCR";

IsOurs byProgram(const std::string& program)
{
    return [program](const ProgramEntry& e) { return commandProgram(e.command) == program; };
}

std::string ourLine() { return entryLine("Sunset (Glimmer)", entryCommand(path)); }
} // namespace

TEST(XScreenSaverPrograms, EntriesAreReadAsTheDaemonReadsThem)
{
    const auto r = findPrograms(daemonWritten);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->entries.size(), 4u);
    EXPECT_EQ(r->entries[0].command, "maze --root");
    EXPECT_TRUE(r->entries[0].enabled);
    EXPECT_EQ(r->entries[1].visual, "GL");
    EXPECT_EQ(r->entries[1].command, "superquadrics --root");
    EXPECT_FALSE(r->entries[2].enabled);
    EXPECT_EQ(r->entries[2].command, "attraction --root");
    EXPECT_EQ(r->entries[3].name, "Qix (solid)");
    EXPECT_EQ(r->entries[3].command, "qix -root -solid");
    EXPECT_TRUE(r->lastLineBlank);
    // Several entries on one line, a long one over two lines, a key in other letters.
    const auto packed = findPrograms("Programs: a -root \\n b \\\n  -x \\n \"N\" c\n");
    ASSERT_TRUE(packed);
    ASSERT_EQ(packed->entries.size(), 3u);
    EXPECT_EQ(packed->entries[1].command, "b   -x");
    EXPECT_EQ(packed->entries[2].name, "N");
    EXPECT_FALSE(findPrograms("# programs: nothing\n! programs: neither\ntimeout: 1\n"));
    // The last of two lists is the one that counts.
    EXPECT_EQ(findPrograms("programs: a\nprograms: b\n")->entries[0].command, "b");
}

TEST(XScreenSaverPrograms, OurEntryGoesAfterTheOthersAndTheRestStaysByteForByte)
{
    std::string text = daemonWritten;
    ASSERT_EQ(addProgram(text, ourLine(), byProgram(path)), Change::Added);
    const std::string inserted = "  \"Sunset (Glimmer)\"  /home/someone/savers/SUNSET.SCR --root \\n\\\n";
    const std::size_t at = daemonWritten.find("\n\n\npointerHysteresis") + 1;
    EXPECT_EQ(text, daemonWritten.substr(0, at) + inserted + daemonWritten.substr(at));
    const auto r = findPrograms(text);
    ASSERT_EQ(r->entries.size(), 5u);
    EXPECT_EQ(r->entries[2].command, "attraction --root") << "the indexes that selected: counts stay";
    EXPECT_EQ(r->entries[4].name, "Sunset (Glimmer)");
    EXPECT_EQ(r->entries[4].command, path + " --root");
    // Again: nothing changes.
    const std::string once = text;
    EXPECT_EQ(addProgram(text, ourLine(), byProgram(path)), Change::AlreadyThere);
    EXPECT_EQ(text, once);
    // Removed: the file is as it was.
    EXPECT_EQ(removePrograms(text, byProgram(path)), Change::Removed);
    EXPECT_EQ(text, daemonWritten);
    EXPECT_EQ(removePrograms(text, byProgram(path)), Change::NotThere);
}

TEST(XScreenSaverPrograms, ListsWrittenByHandTakeTheEntryToo)
{
    // The last entry without "\n" (also before a blank line, as the daemon
    // ends the list), and the list as the last line of the file.
    for (const std::string& before : {std::string("programs: \\\n  a --root \\n\\\n  b --root\ntimeout: 5\n"),
                                      std::string("programs: \\\n  a --root \\n\\\n  b --root \\\n\n"),
                                      std::string("programs: a --root \\n b --root"), std::string("programs:\n"),
                                      std::string("programs: a --root \\n\n")}) {
        SCOPED_TRACE(before);
        std::string text = before;
        ASSERT_EQ(addProgram(text, ourLine(), byProgram(path)), Change::Added);
        const auto r = findPrograms(text);
        ASSERT_TRUE(r);
        const std::size_t others = findPrograms(before)->entries.size();
        ASSERT_EQ(r->entries.size(), others + 1);
        EXPECT_EQ(r->entries.back().command, path + " --root");
        for (std::size_t i = 0; i < others; ++i)
            EXPECT_EQ(r->entries[i].command, findPrograms(before)->entries[i].command);
        if (before.find("timeout") != std::string::npos) {
            EXPECT_EQ(text, "programs: \\\n  a --root \\n\\\n  b --root \\n\\\n" + ourLine() + " \\n\ntimeout: 5\n");
        }
        ASSERT_EQ(removePrograms(text, byProgram(path)), Change::Removed);
        const auto back = findPrograms(text);
        ASSERT_EQ(back->entries.size(), others);
    }
    std::string none = "timeout: 5\n";
    EXPECT_EQ(addProgram(none, ourLine(), byProgram(path)), Change::NoList);
}

TEST(XScreenSaverPrograms, ATurnedOffEntryIsTurnedOnAndEveryCopyIsRemoved)
{
    std::string text = "programs: \\\n-  \"Sunset\"  " + path + " --root \\n\\\n  maze --root \\n\\\n  " + path + " -root\\n\\\n\n";
    EXPECT_EQ(addProgram(text, ourLine(), byProgram(path)), Change::TurnedOn);
    EXPECT_TRUE(findPrograms(text)->entries[0].enabled);
    EXPECT_EQ(removePrograms(text, byProgram(path)), Change::Removed);
    const auto r = findPrograms(text);
    ASSERT_EQ(r->entries.size(), 1u);
    EXPECT_EQ(r->entries[0].command, "maze --root");
}

TEST(XScreenSaverPrograms, PathsAreQuotedForTheDaemonAndItsShell)
{
    EXPECT_EQ(entryCommand("/home/u/SUNSET.SCR"), "/home/u/SUNSET.SCR --root");
    // A space would split the path; the quotes make the daemon use /bin/sh.
    EXPECT_EQ(entryCommand("/home/u/My Savers/SUNSET.SCR"), "'/home/u/My Savers/SUNSET.SCR' --root");
    // The file's own escapes: a backslash is written twice.
    EXPECT_EQ(entryCommand("/home/u/it's/A.SCR"), "'/home/u/it'\\\\''s/A.SCR' --root");
    EXPECT_EQ(entryCommand("/a/$HOME/~x"), "'/a/$HOME/~x' --root");
    EXPECT_EQ(entryCommand("/a/b\nc"), "");
    EXPECT_EQ(entryCommand("/a/b\tc"), "");
    // Read back through the file's escapes and the shell, each is the path again.
    for (const std::string p : {"/home/u/My Savers/SUNSET.SCR", "/home/u/it's/A.SCR", "/x/\"q\"/\\b/A.SCR", "/a/$HOME/~x"}) {
        std::string text = "programs: \\\n" + entryLine("N", entryCommand(p)) + " \\n\\\n\n";
        const auto r = findPrograms(text);
        ASSERT_EQ(r->entries.size(), 1u) << p;
        EXPECT_EQ(commandProgram(r->entries[0].command), p);
    }
    EXPECT_EQ(entryLine("Say \"hi\"\\\n", "x"), "  \"Say 'hi'\\\\\"  x") << "a quote or line break in the name would end it";
}

TEST(XScreenSaverPrograms, ANewFileTakesTheDefaultsListAsItIs)
{
    const std::string appDefaults =
        "! comment\n"
        "*timeout:\t\t0:10:00\n"
        "*programs:\t\t\t\t\t\t\t\t      \\\n"
        "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
        "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
        "- GL: \t\t\t\tsquirtorus --root\t\t\t    \\n\n"
        "\n"
        "*hacks.maze.name: Maze\n";
    const auto made = preferencesFromDefaults(appDefaults, "/etc/X11/app-defaults/XScreenSaver");
    ASSERT_TRUE(made);
    EXPECT_NE(made->find("programs:\t\t\t\t\t\t\t\t      \\\n\t\t\t\tmaze --root"), std::string::npos);
    EXPECT_EQ(made->find("hacks.maze"), std::string::npos);
    EXPECT_EQ(made->find("timeout"), std::string::npos) << "other settings keep following the daemon's defaults";
    std::string text = *made;
    ASSERT_EQ(addProgram(text, ourLine(), byProgram(path)), Change::Added);
    const auto r = findPrograms(text);
    ASSERT_EQ(r->entries.size(), 4u);
    EXPECT_FALSE(r->entries[2].enabled);
    EXPECT_EQ(r->entries[2].visual, "GL");
    EXPECT_EQ(r->entries[3].name, "Sunset (Glimmer)");
    EXPECT_FALSE(preferencesFromDefaults("*timeout: 1\n", "x"));
}

TEST(XScreenSaverPrograms, ResourcesAreSetWhereTheDaemonReadsThemAndTheRestStays)
{
    const struct { const char* text; const char* key; const char* value; const char* after; } rows[] = {
        {"mode:\t\trandom\nselected:\t2\n", "mode", "one", "mode:\t\tone\nselected:\t2\n"},
        {"mode: random\nmode: blank\n", "mode", "one", "mode: random\nmode: one\n"},   // the last one counts
        {"mode:\n", "mode", "one", "mode:\tone\n"},
        {"mode : random\n", "mode", "one", "mode : random\nmode:\tone\n"},   // "mode " is no key of the daemon's
    };
    for (const auto& row : rows) {
        std::string text = row.text;
        setResource(text, row.key, row.value);
        EXPECT_EQ(text, row.after) << row.text;
        EXPECT_EQ(resourceValue(text, row.key), std::optional<std::string>(row.value)) << row.text;
    }
}

TEST(XScreenSaverPrograms, AScreensaverOfOurNameElsewhereGivesUsItsPlace)
{
    std::string text = daemonWritten;
    const std::string old = "  \"Sunset (Glimmer)\"  /old/SUNSET.SCR --root \\n\\\n";
    text.insert(text.find("  GL:"), old);
    text.insert(text.find("  \"Qix"), "- \"Sunset (Glimmer)\"  /older/SUNSET.SCR --root \\n\\\n");
    const auto twin = [](const ProgramEntry& e) { return e.name == "Sunset (Glimmer)"; };
    std::string was;
    ASSERT_EQ(replaceProgram(text, entryCommand(path), twin, &was), Change::Replaced);
    EXPECT_EQ(was, "/old/SUNSET.SCR --root");
    const auto list = findPrograms(text);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->entries.size(), 5u);
    EXPECT_EQ(list->entries[1].command, path + " --root");
    EXPECT_TRUE(list->entries[1].enabled);
    EXPECT_EQ(text.substr(0, text.find("programs:")), daemonWritten.substr(0, daemonWritten.find("programs:")));
}
