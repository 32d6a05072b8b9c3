// XScreenSaver's settings file as a user may have it, any bytes: adding our
// entry must leave every other entry as it was and make ours the last one;
// removing it must leave the same entries again. No Qt.
#include "install/XScreenSaverConfig.h"

#include "PlainCheck.h"

#include <string>

namespace {
const std::string program = "/home/fuzz/My Savers/SUNSET.SCR";

bool ours(const install::ProgramEntry& e) { return install::commandProgram(e.command) == program; }

std::vector<std::string> others(const std::string& text)
{
    std::vector<std::string> commands;
    if (const auto r = install::findPrograms(text))
        for (const auto& e : r->entries)
            if (!ours(e))
                commands.push_back(e.command);
    return commands;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string before(reinterpret_cast<const char*>(data), size);
    const auto list = install::findPrograms(before);
    if (list)
        for (const auto& e : list->entries)
            PLAIN_CHECK(e.begin <= e.end && e.end <= before.size());
    std::string text = before;
    const std::string line = install::entryLine("Sunset (Glimmer)", install::entryCommand(program));
    const install::Change added = install::addProgram(text, line, ours);
    if (added == install::Change::NoList) {
        PLAIN_CHECK(!list && text == before);
        return 0;
    }
    const auto after = install::findPrograms(text);
    PLAIN_CHECK(after.has_value());
    // A list whose reading the new line changes (a stray quote, a dangling
    // escape at the end) is not held to the rest.
    if (added == install::Change::Added && others(text) == others(before)) {
        PLAIN_CHECK(ours(after->entries.back()) && after->entries.back().enabled);
        std::string removed = text;
        PLAIN_CHECK(install::removePrograms(removed, ours) == install::Change::Removed);
        PLAIN_CHECK(others(removed) == others(before));
    }
    return 0;
}
