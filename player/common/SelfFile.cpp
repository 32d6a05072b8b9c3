#include "common/SelfFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace player {

#ifdef _WIN32

std::string ownExecutablePath()
{
    std::wstring wide(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, wide.data(), DWORD(wide.size()));
    if (n == 0 || n >= wide.size())
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(n), nullptr, 0, nullptr, nullptr);
    std::string path(std::size_t(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(n), path.data(), bytes, nullptr, nullptr);
    return path;
}

MappedFile::MappedFile(const std::string& path)
{
    const int chars = MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0);
    std::wstring wide(std::size_t(chars), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), wide.data(), chars);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem_ = "it cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        problem_ = "its size cannot be read";
    } else if (size.QuadPart > 0) {
        mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        void* view = mapping_ ? MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (view) {
            data_ = static_cast<const std::uint8_t*>(view);
            size_ = std::uint64_t(size.QuadPart);
        } else {
            problem_ = "it cannot be mapped (error " + std::to_string(GetLastError()) + ")";
        }
    }
    CloseHandle(file);
}

MappedFile::~MappedFile()
{
    if (data_)
        UnmapViewOfFile(data_);
    if (mapping_)
        CloseHandle(mapping_);
}

#else

std::string ownExecutablePath()
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0)
        return {};
    return std::string(buf, std::size_t(n));
}

MappedFile::MappedFile(const std::string& path)
{
    // Never blocks, also when the path names a pipe.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        problem_ = std::string("it cannot be opened (") + std::strerror(errno) + ")";
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem_ = "it is not an ordinary file";
    } else if (st.st_size > 0) {
        void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (p == MAP_FAILED) {
            problem_ = std::string("it cannot be mapped (") + std::strerror(errno) + ")";
        } else {
            data_ = static_cast<const std::uint8_t*>(p);
            size_ = std::uint64_t(st.st_size);
        }
    }
    ::close(fd);
}

MappedFile::~MappedFile()
{
    if (data_)
        ::munmap(const_cast<std::uint8_t*>(data_), std::size_t(size_));
}

#endif

} // namespace player
