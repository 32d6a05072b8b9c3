#pragma once
// Temporary files that tell whether their maker still lives. Each is made
// new beside the file it will become and locked (flock) by its maker until
// the maker closes it or dies, so that a later operation of the same kind
// removes those whose maker was killed, and never one being written. Plain
// C++ on the POSIX calls, shared by the program and the players; not built
// for Windows.
#include <ctime>
#include <functional>
#include <string>
#include <sys/stat.h>

#ifndef _WIN32

// Makes the new file `pattern`, whose six X's before its last
// `suffixLength` bytes become letters and digits, and takes its lock. Its
// descriptor (read and write, closed on exec), or -1 with errno set.
int makeLockedTemporary(std::string& pattern, int suffixLength = 0);

// Removes `path` when it is a temporary file whose maker is gone: an
// ordinary file that no one holds locked (on a file system without such
// locks: one last changed before `notBefore`), and that `holdsOurs`, given
// its descriptor and status, takes for what the program writes there. True
// when it was removed.
bool removeLeftoverTemporary(const std::string& path, const timespec& notBefore,
                             const std::function<bool(int fd, const struct stat& st)>& holdsOurs);

#endif
