#pragma once
// Fetching one address into one local file over HTTP(S). The previous file is
// only ever replaced by a complete, accepted answer: the body goes to a
// temporary file beside the target and is renamed into place at the end.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace nimbrel {

enum class DownloadStatus {
    Stored,
    InvalidArgument,      // empty address or file name
    CannotCreateFile,     // the temporary file beside the target could not be made
    UnsupportedProtocol,  // not http or https, also after a redirect
    TooManyRedirects,
    ConnectFailed,   // name lookup or connection refused
    TimedOut,        // connect time-out, overall time-out or too slow
    HttpError,       // the final answer was not a 2xx status
    Truncated,       // the connection ended before the whole body arrived
    TooLarge,        // the body is larger than the size cap
    WriteFailed,     // the local disk refused the data
    RenameFailed,    // the complete file could not replace the target
    TransferFailed,  // any other network failure
    Cancelled,       // the cancel flag was raised during the transfer
};

struct DownloadResult {
    DownloadStatus status = DownloadStatus::TransferFailed;
    long httpStatus = 0;  // 0 when no answer was received
    std::string detail;   // libcurl's or the system's message, for diagnostics

    bool stored() const { return status == DownloadStatus::Stored; }
    // "HTTP error 404", "timed out: Operation timed out after 30000 ms", ...
    std::string reasonText() const;
};

struct DownloadOptions {
    std::chrono::milliseconds connectTimeout{10'000};
    std::chrono::milliseconds totalTimeout{30'000};
    // A transfer slower than this many bytes per second for lowSpeedTime is
    // given up, so a stalled server cannot hold the window's thread.
    long lowSpeedBytesPerSecond = 100;
    std::chrono::seconds lowSpeedTime{10};
    long maxRedirects = 5;
    std::int64_t maxBytes = 32 * 1024 * 1024;
    // Flush the body to disk before it replaces the target. Off for files
    // that are replaced often and fetched again when lost: the rename still
    // keeps a half-written body from ever replacing the previous file.
    bool syncToDisk = true;
    // Raised by another thread to give the transfer up at once.
    const std::atomic<bool>* cancel = nullptr;
};

DownloadResult downloadToFile(const std::string& url, const std::string& file,
                              const DownloadOptions& options = {});

// An answer fetched into memory: the bytes when result.stored(), else
// nothing and the reason.
struct FetchedBytes {
    DownloadResult result;
    std::string bytes;
    bool ok() const { return result.stored(); }
};

// Fetches the address into memory with the same limits, time-outs and size
// cap as downloadToFile (syncToDisk does not apply).
FetchedBytes fetchToMemory(const std::string& url, const DownloadOptions& options = {});

const char* downloadStatusName(DownloadStatus status);

}  // namespace nimbrel
