#pragma once
// The program's errors that end a command, and the old error numbers and
// texts that a failed file operation is told in, so that the messages users
// see stay the same whatever the platform says.
#include <QString>
#include <stdexcept>
#include <string_view>

// An error that ends the current command; shown by the standard error report.
class EGlimmerError : public std::runtime_error {
public:
    explicit EGlimmerError(const QString& text);
    // The whole text: what() ends at a zero character that a name from a
    // damaged file may hold.
    QString Text() const { return text_; }

private:
    QString text_;
};

// A message from beneath the program (the system's, a decoder's, the
// standard library's; all UTF-8 here) as the text a message box shows: the
// one way such a message becomes text.
QString MessageText(std::string_view message);

// The old error numbers, which a failed file operation carries and its text
// is made from (IOErrorText); any other number reads "I/O error %d".
namespace IOCode {
inline constexpr int FileNotFound = 2;        // "File not found"
inline constexpr int InvalidFilename = 3;     // "Invalid filename"
inline constexpr int TooManyOpenFiles = 4;    // "Too many open files"
inline constexpr int AccessDenied = 5;        // "File access denied"
inline constexpr int ReadBeyondEnd = 100;     // "Read beyond end of file"
inline constexpr int DiskFull = 101;          // "Disk full": no room, of any kind
inline constexpr int NegativeSeek = 131;      // the old "negative seek offset"
// A device error is not a denied file: it keeps a number of its own.
inline constexpr int DeviceError = 1117;
} // namespace IOCode

// A failed file operation with its old error number (IOCode).
class EInOutError : public EGlimmerError {
public:
    explicit EInOutError(int code);
    // The same failure told in more words.
    EInOutError(int code, const QString& text);
    int ErrorCode;
};

QString IOErrorText(int code);
// Maps an errno value to the old error numbers.
int IOCodeFromErrno(int err);

// How a write or a copy ended: whole, or cut short for want of room (the
// disk, the user's quota, the largest file the process may write) or by
// another error.
enum class CopyCause { Copied, DiskFull, Quota, FileTooLarge, OtherError };

struct CopyOutcome {
    CopyCause cause = CopyCause::Copied;
    int error = 0;   // the system's error number (errno) of every other cause
    bool copied() const { return cause == CopyCause::Copied; }
};

// The outcome of a write that failed with the system's error number `err`.
CopyOutcome copyOutcomeOf(int err);

// Why a write or a copy was cut short, in the words of the old error texts:
// "Disk full", "Disk quota exceeded", "File too large", or the text of the
// error's old number (IOErrorText). The one text of each cause, wherever it
// is told.
QString copyFailureText(const CopyOutcome& outcome);

// EInOutError for a write or a copy cut short: its old number (DiskFull for
// want of room of any kind) with copyFailureText.
[[noreturn]] void throwCopyFailure(const CopyOutcome& outcome);
