#include "install/DesktopTheme.h"

#include "record/SaverSettings.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace install {

namespace {

const char ownerKey[] = "X-Glimmer-Screensaver=";
constexpr std::size_t largestTheme = 64 << 10;

// Where `program` is found on the PATH; empty when it is not.
std::string foundOnPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        struct stat st {};
        const std::string file = (dir.empty() ? "." : dir) + "/" + program;
        if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(file.c_str(), X_OK) == 0)
            return file;
        start = end + 1;
    }
    return {};
}

bool onPath(const std::string& program) { return !foundOnPath(program).empty(); }

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return a == b || (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino);
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }
std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('/')); }

// "glimmer-sunset" for SUNSET.SCR: what the theme is called in the settings.
std::string themeStem(const std::string& program)
{
    std::string base = baseName(program);
    if (const auto dot = base.find_last_of('.'); dot != std::string::npos && dot > 0)
        base.erase(dot);
    std::string stem;
    for (const char c : base) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        const char out = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : keep ? c : '-';
        if (out != '-' || (!stem.empty() && stem.back() != '-'))
            stem += out;
    }
    while (!stem.empty() && stem.back() == '-')
        stem.pop_back();
    return "glimmer-" + (stem.empty() ? std::string("screensaver") : stem);
}

// Where a theme runs the .SCR from when there is no launcher: a link that
// root makes in the first hack folder there is. All users share that folder,
// so each file (by its full path) has a link name of its own, and two files
// of one name never run each other: glimmer-sunset-1f2e3d4c.scr.
std::string linkOf(const ThemeRequest& r)
{
    const auto folder = std::find_if(r.hackFolders.begin(), r.hackFolders.end(), isFolder);
    std::uint32_t hash = 2166136261u;   // FNV-1a
    for (const char c : r.programPath)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", unsigned(hash));
    return (folder == r.hackFolders.end() ? r.hackFolders.front() : *folder) + "/" + themeStem(r.programPath) + "-" + hex + ".scr";
}

// What stands at `link` when it is there and does not lead to `program`.
std::optional<std::string> somethingElseAt(const std::string& link, const std::string& program)
{
    struct stat st {};
    if (::lstat(link.c_str(), &st) != 0 || sameFile(link, program))
        return std::nullopt;
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    return n > 0 && std::size_t(n) < sizeof target ? "a link to " + std::string(target, std::size_t(n)) : std::string("another file");
}

// The .SCR a theme file of ours runs; nothing for any other file.
std::optional<std::string> ownerOf(const std::string& file)
{
    const std::string text = readFileStart(file, largestTheme);
    const std::size_t at = text.find(std::string("\n") + ownerKey);
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t begin = at + 1 + std::strlen(ownerKey);
    const std::string escaped = text.substr(begin, text.find('\n', begin) - begin);
    std::string owner;
    for (std::size_t i = 0; i < escaped.size(); ++i)
        owner += escaped[i] == '\\' && i + 1 < escaped.size() ? escaped[++i] : escaped[i];
    return owner;
}

// "screensavers-glimmer-sunset" for glimmer-sunset.desktop: its name in the settings.
std::string themeId(const std::string& file) { return "screensavers-" + file.substr(0, file.size() - 8); }

std::string themeFolder(const ThemeRequest& r) { return r.dataHome + "/applications/screensavers"; }

// The theme files (names without a folder) that run `program`.
std::vector<std::string> themesOf(const ThemeRequest& r)
{
    std::vector<std::string> out;
    DIR* dir = ::opendir(themeFolder(r).c_str());
    if (!dir)
        return out;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("glimmer-", 0) != 0 || name.size() < 8 || name.substr(name.size() - 8) != ".desktop")
            continue;
        const auto owner = ownerOf(themeFolder(r) + "/" + name);
        if (owner && sameFile(*owner, r.programPath))
            out.push_back(name);
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

// What installs that were killed left among the themes: the new files of
// glimmer-NAME.desktop, never renamed into place.
void removeThemeLeftovers(const ThemeRequest& r)
{
    removeLeftovers(themeFolder(r), [](const std::string& name) {
        const std::size_t end = name.rfind(".desktop.glimmer-");
        return name.rfind("glimmer-", 0) == 0 && end != std::string::npos && isTemporaryOf(name, name.substr(0, end + 8));
    });
}

bool makeFolders(const std::string& path, std::string& problem)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            problem = part + " cannot be made (" + std::strerror(errno) + ")";
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

std::string escapedValue(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string hostsText(const ThemeRequest& r)
{
    std::string out;
    for (std::size_t i = 0; i < r.hosts.size(); ++i)
        out += (i == 0 ? "" : i + 1 == r.hosts.size() ? " and " : ", ") + r.hosts[i];
    return out;
}

bool hosts(const ThemeRequest& r, const char* name) { return std::find(r.hosts.begin(), r.hosts.end(), name) != r.hosts.end(); }

std::string choosingAdvice(const ThemeRequest& r, const std::string& id)
{
    std::string out;
    if (hosts(r, "mate-screensaver"))
        out += "Choose it in MATE's Screensaver Preferences, or make it the one shown with:\n"
               "gsettings set org.mate.screensaver mode 'single' && gsettings set org.mate.screensaver themes \"['" +
               id + "']\"\n";
    if (hosts(r, "xfce4-screensaver"))
        out += "In Xfce, choose it in the Screensaver Preferences (xfce4-screensaver-preferences).\n";
    return out;
}

InstallResult failed(std::string message) { return {1, std::move(message) + "\n"}; }

} // namespace

std::string themeExec(const std::vector<std::string>& arguments)
{
    std::string out;
    for (const std::string& a : arguments) {
        // A desktop file is UTF-8, and its Exec line takes "%" for its own codes.
        if (a.empty() || slotNameText(a) != a)
            return {};
        std::string word;
        bool quote = false;
        for (const char c : a) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7F || c == '%')
                return {};
            quote = quote || std::strchr(" \"'\\><~|&;$*?#()`", c) != nullptr;
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                word += '\\';
            word += c;
        }
        out += (out.empty() ? "" : " ") + (quote ? "\"" + word + "\"" : word);
    }
    return escapedValue(out);
}

InstallResult installDesktopTheme(const ThemeRequest& r)
{
    if (r.programPath.empty() || r.programPath[0] != '/')
        return failed("The screensaver cannot tell where its own file is.");
    if (r.dataHome.empty() || r.dataHome[0] != '/')
        return failed("There is no home folder (HOME is not set), so the screensaver themes cannot be found.");
    // Glimmer's launcher where it is installed; else a link of this file in
    // a hack folder, which only root can make.
    std::string program = r.launcher, link;
    std::vector<std::string> command = {r.launcher, r.programPath, "--root"};
    if (!exists(r.launcher)) {
        program = link = linkOf(r);
        command = {link, "--root"};
        if (const auto other = somethingElseAt(link, r.programPath))
            return failed("The screensaver theme was not written: " + link + " is there already, " + *other +
                          ", not to this screensaver. Rename this screensaver or move it to another folder, then run --install again.");
    }
    const std::string exec = themeExec(command);
    if (exec.empty() || themeExec({r.programPath}).empty())
        return failed("The path of this screensaver holds a character that a theme file cannot pass on (a line break, another "
                      "control character, a % or bytes that are not UTF-8). Move it to a plainly named folder and run --install again.");

    const InstallLock lock(r.home.empty() ? homeFolder() : r.home);
    if (!lock.Problem().empty())
        return failed(lock.Problem());
    removeThemeLeftovers(r);
    std::string problem;
    if (!makeFolders(themeFolder(r), problem))
        return failed("The screensaver theme cannot be written: " + problem + ".");
    // The theme of this file, when there is one; else the one of another
    // screensaver of this name, whose place it takes; else the first free name.
    std::vector<std::string> ours = themesOf(r);
    std::string name = ours.empty() ? std::string() : ours.front(), replaced;
    const std::string stem = themeStem(r.programPath);
    if (const auto owner = ownerOf(themeFolder(r) + "/" + stem + ".desktop"); name.empty() && owner) {
        name = stem + ".desktop";
        replaced = *owner;
    }
    for (int n = 1; name.empty(); ++n) {
        const std::string candidate = stem + (n == 1 ? "" : "-" + std::to_string(n)) + ".desktop";
        if (!exists(themeFolder(r) + "/" + candidate))
            name = candidate;
    }
    const std::string file = themeFolder(r) + "/" + name;
    std::string title = slotNameText(entryName(r.programPath));
    // A second screensaver of that name is told apart by its folder: "Sunset (Glimmer, old)".
    if (const std::string folder = slotNameText(baseName(folderOf(r.programPath))); name != stem + ".desktop" && !folder.empty())
        title.insert(title.size() - 1, ", " + folder);
    const std::string text = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=" + escapedValue(title) + "\n"
                             "Comment=A picture screensaver made with Glimmer\n"
                             "Exec=" + exec + "\n"
                             "TryExec=" + escapedValue(program) + "\n"
                             "Categories=Screensaver;\n"
                             "OnlyShowIn=MATE;XFCE;\n"
                             "StartupNotify=false\n"
                             "Terminal=false\n" +
                             ownerKey + escapedValue(r.programPath) + "\n";
    if (!replaceFile(file, file, text, 0644, problem))
        return failed("The screensaver theme cannot be written: " + problem + ".");
    const std::string id = themeId(name);
    std::string message = replaced.empty() ? "Added \"" + title + "\" to the screensaver themes of " + hostsText(r)
                                           : "Gave the theme \"" + title + "\", which ran " + replaced + ", to this file";
    message += " in " + file + " (the theme " + id + ").\n";
    InstallResult out(0);
    out.replaced = replaced;
    out.theme = id;
    out.runs = link.empty() || sameFile(link, r.programPath);
    if (!out.runs) {
        message += hostsText(r) + " runs only programs in its own folders. Glimmer's launcher, which would run this screensaver from there, ";
        message += r.launcherElsewhere.empty()
                       ? "is not in " + folderOf(r.launcher) + " (Glimmer is not installed, or not with the prefix /usr). Run"
                       : "is in " + folderOf(r.launcherElsewhere) + ", where " + hostsText(r) +
                             " does not look. Install Glimmer with \"sudo make install PREFIX=/usr\" and run --install again, or run";
        message += " this once as root to let it run this screensaver:\n";
        if (!isFolder(folderOf(link)))
            message += "sudo mkdir -p " + quoted(folderOf(link)) + " && ";
        message += "sudo ln -s " + quoted(r.programPath) + " " + quoted(link) + "\n";
    }
    out.message = message + (r.only ? "" : choosingAdvice(r, id));
    return out;
}

InstallResult uninstallDesktopTheme(const ThemeRequest& r)
{
    const InstallLock lock(r.home.empty() ? homeFolder() : r.home);
    if (!lock.Problem().empty())
        return failed(lock.Problem());
    removeThemeLeftovers(r);
    const std::vector<std::string> ours = themesOf(r);
    const std::string title = slotNameText(entryName(r.programPath));
    if (ours.empty())
        return {0, "\"" + title + "\" is not among the screensaver themes in " + themeFolder(r) + ".\n"};
    InstallResult out;
    for (const std::string& name : ours) {
        const std::string file = themeFolder(r) + "/" + name;
        if (::unlink(file.c_str()) != 0 && errno != ENOENT)
            return failed("The screensaver theme " + file + " cannot be removed (" + std::strerror(errno) + ").");
        out.message += "Removed \"" + title + "\" from the screensaver themes: " + file + ".\n";
        out.themesRemoved.push_back(themeId(name));
    }
    if (const std::string link = linkOf(r); sameFile(link, r.programPath))
        out.message += "The link that root made for it stays; root removes it with:\nsudo rm " + quoted(link) + "\n";
    return out;
}

ThemeRequest themeRequestFor(const InstallRequest& request)
{
    ThemeRequest theme;
    theme.home = request.home;
    theme.programPath = request.programPath;
    // make install puts the launcher under its prefix (PREFIX/bin/glimmer,
    // PREFIX/libexec/xscreensaver/glimmer-scr), which is /usr/local unless told.
    if (const std::string glimmer = foundOnPath("glimmer"); !glimmer.empty()) {
        const std::string launcher = folderOf(folderOf(glimmer)) + "/libexec/xscreensaver/glimmer-scr";
        if (exists(launcher) && !sameFile(launcher, theme.launcher))
            theme.launcherElsewhere = launcher;
    }
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    theme.dataHome = dataHome && *dataHome == '/' ? dataHome : request.home.empty() ? "" : request.home + "/.local/share";
    return theme;
}

std::string programOnPath(const std::string& program) { return foundOnPath(program); }

InstallResult changeEveryHost(const InstallRequest& request, bool add)
{
    // Both hosts' files change under one lock: two installs at once must
    // not leave XScreenSaver's list and the themes telling different stories.
    const InstallLock lock(request.home);
    if (!lock.Problem().empty())
        return failed(lock.Problem());
    ThemeRequest theme = themeRequestFor(request);
    for (const char* host : {"mate-screensaver", "xfce4-screensaver"})
        if (onPath(host))
            theme.hosts.push_back(host);
    InstallResult out;
    // Where only a theme host is there, XScreenSaver's list is no concern.
    const bool xscreensaver = onPath("xscreensaver") || exists(request.home + "/.xscreensaver");
    if (theme.hosts.empty() || xscreensaver)
        out = add ? installInXScreenSaver(request) : uninstallFromXScreenSaver(request);
    if (theme.hosts.empty())
        return out;
    const InstallResult done = add ? installDesktopTheme(theme) : uninstallDesktopTheme(theme);
    out.message += done.message;
    out.exitCode = std::max(out.exitCode, done.exitCode);
    out.themesRemoved = done.themesRemoved;
    return out;
}

} // namespace install
