#pragma once
// The running player's own file, mapped read-only: the image store lies after
// the executable image in it. Pages are read only as the show touches them,
// so ten large photos cost no memory until they are decoded.
#include <cstdint>
#include <string>

namespace player {

// The absolute path of the running program's file (empty when unknown).
std::string ownExecutablePath();

class MappedFile {
public:
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const { return data_ != nullptr || (problem_.empty() && size_ == 0); }
    const std::uint8_t* data() const { return data_; }
    std::uint64_t size() const { return size_; }
    const std::string& problem() const { return problem_; }
#ifdef _WIN32
    // The file's mapping object, for views of parts of it (or null).
    void* mapping() const { return mapping_; }
#endif

private:
    const std::uint8_t* data_ = nullptr;
    std::uint64_t size_ = 0;
    std::string problem_;
#ifdef _WIN32
    void* mapping_ = nullptr;
#endif
};

} // namespace player
