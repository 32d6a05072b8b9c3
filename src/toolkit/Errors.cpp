#include "toolkit/Errors.h"

#include <cerrno>

EGlimmerError::EGlimmerError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}

QString MessageText(std::string_view message) { return QString::fromUtf8(message.data(), qsizetype(message.size())); }

EInOutError::EInOutError(int code) : EGlimmerError(IOErrorText(code)), ErrorCode(code) {}

EInOutError::EInOutError(int code, const QString& text) : EGlimmerError(text), ErrorCode(code) {}

QString IOErrorText(int code)
{
    switch (code) {
    case IOCode::FileNotFound: return QStringLiteral("File not found");
    case IOCode::InvalidFilename: return QStringLiteral("Invalid filename");
    case IOCode::TooManyOpenFiles: return QStringLiteral("Too many open files");
    case IOCode::AccessDenied: return QStringLiteral("File access denied");
    case IOCode::ReadBeyondEnd: return QStringLiteral("Read beyond end of file");
    case IOCode::DiskFull: return QStringLiteral("Disk full");
    default: return QStringLiteral("I/O error %1").arg(code);
    }
}

int IOCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return IOCode::FileNotFound;
    case ENAMETOOLONG: case EINVAL: case ENOTDIR: case EILSEQ: return IOCode::InvalidFilename;
    case EMFILE: case ENFILE: return IOCode::TooManyOpenFiles;
    // EEXIST: a file made new where something else, a folder say, has the name.
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: case ENXIO: case EEXIST: return IOCode::AccessDenied;
    case ENOSPC: case EDQUOT: case EFBIG: return IOCode::DiskFull;
    case EIO: return IOCode::DeviceError;
    // Other system numbers must not pass for one of the old ones.
    default: return err < 1000 ? 1000 + err : err;
    }
}

CopyOutcome copyOutcomeOf(int err)
{
    switch (err) {
    case ENOSPC: return {CopyCause::DiskFull, err};
    case EDQUOT: return {CopyCause::Quota, err};
    case EFBIG: return {CopyCause::FileTooLarge, err};
    default: return {CopyCause::OtherError, err};
    }
}

QString copyFailureText(const CopyOutcome& outcome)
{
    switch (outcome.cause) {
    case CopyCause::DiskFull: return IOErrorText(IOCode::DiskFull);
    case CopyCause::Quota: return QStringLiteral("Disk quota exceeded");
    case CopyCause::FileTooLarge: return QStringLiteral("File too large");
    case CopyCause::Copied:
    case CopyCause::OtherError: break;
    }
    return IOErrorText(IOCodeFromErrno(outcome.error));
}

void throwCopyFailure(const CopyOutcome& outcome)
{
    throw EInOutError(IOCodeFromErrno(outcome.error), copyFailureText(outcome));
}
