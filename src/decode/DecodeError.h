#pragma once
// How a decode fails: DecodeError carries the text a user is shown ("Bitmap
// image is not valid", libjpeg's own messages, "Picture too large (W x H)")
// and what kind of fault it is, for words of our own where the decoder's are
// not wanted; DecodeCancelled says that the caller asked it to stop, and is
// no failure of the picture, so it is deliberately not a DecodeError.
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

enum class DecodeFault {
    Damaged,       // broken in any other way
    CutShort,      // its data ends too soon
    Empty,         // no bytes at all
    NoPicture,     // a datastream without a picture in it
    Unsupported,   // a kind of the format that is not read (12-bit or lossless JPEG, say)
    TooLarge,      // larger than any picture decoded
};

class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    DecodeError(const std::string& what, DecodeFault fault) : std::runtime_error(what), fault_(fault) {}
    DecodeFault fault() const { return fault_; }

private:
    DecodeFault fault_ = DecodeFault::Damaged;
};

class DecodeCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "Decoding cancelled"; }
};

// The one text of a bitmap file that cannot be read.
inline constexpr const char* invalidBitmapText = "Bitmap image is not valid";

// The one text of a picture too large to decode, whichever decoder met it.
inline std::string pictureTooLargeText(long long width, long long height)
{
    return "Picture too large (" + std::to_string(width) + " x " + std::to_string(height) + ")";
}

// What a failure tells the user: its own text, but for memory (or a thread)
// that could not be had, words rather than the library's "std::bad_alloc"
// or "Resource temporarily unavailable".
inline std::string failureText(const std::exception& e)
{
    const auto* system = dynamic_cast<const std::system_error*>(&e);
    const bool memory = dynamic_cast<const std::bad_alloc*>(&e) ||
                        (system && (system->code() == std::errc::not_enough_memory ||
                                    system->code() == std::errc::resource_unavailable_try_again));
    return memory ? "Not enough memory" : e.what();
}
