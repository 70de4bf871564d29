#include "platform/download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>

#include "base/replace_file.h"

namespace nimbrel {

namespace {

CURLcode globalInit() {
    static std::once_flag once;
    static CURLcode code = CURLE_OK;
    std::call_once(once, [] {
        code = curl_global_init(CURL_GLOBAL_DEFAULT);
        // With CURLOPT_NOSIGNAL libcurl leaves SIGPIPE alone; a server that
        // drops the connection must not end the whole program.
        struct sigaction old {};
        if (sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
            std::signal(SIGPIPE, SIG_IGN);
        }
    });
    return code;
}

std::string systemError(const char* what, int err) {
    return std::string(what) + ": " + std::strerror(err);
}

// Where the body goes: a file descriptor, or memory when `memory` is set.
struct Sink {
    int fd = -1;
    std::string* memory = nullptr;
    std::int64_t written = 0;
    std::int64_t cap = 0;
    bool tooLarge = false;
    int writeErrno = 0;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    // A chunked answer announces no length, so the cap is enforced here.
    if (sink->cap > 0 && sink->written + static_cast<std::int64_t>(n) > sink->cap) {
        sink->tooLarge = true;
        return 0;
    }
    if (sink->memory) {
        sink->memory->append(data, n);
        sink->written += static_cast<std::int64_t>(n);
        return n;
    }
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(sink->fd, data + done, n - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            sink->writeErrno = errno;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    sink->written += static_cast<std::int64_t>(n);
    return n;
}

DownloadStatus statusFromCurl(CURLcode code, const Sink& sink) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return DownloadStatus::UnsupportedProtocol;
        case CURLE_URL_MALFORMAT:
            return DownloadStatus::InvalidArgument;
        case CURLE_TOO_MANY_REDIRECTS:
            return DownloadStatus::TooManyRedirects;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return DownloadStatus::ConnectFailed;
        case CURLE_OPERATION_TIMEDOUT:
            return DownloadStatus::TimedOut;
        case CURLE_HTTP_RETURNED_ERROR:
            return DownloadStatus::HttpError;
        case CURLE_PARTIAL_FILE:
            return DownloadStatus::Truncated;
        case CURLE_FILESIZE_EXCEEDED:
            return DownloadStatus::TooLarge;
        case CURLE_WRITE_ERROR:
            return sink.tooLarge ? DownloadStatus::TooLarge : DownloadStatus::WriteFailed;
        default:
            return DownloadStatus::TransferFailed;
    }
}

struct EasyHandle {
    CURL* h = curl_easy_init();
    ~EasyHandle() {
        if (h) curl_easy_cleanup(h);
    }
};

}  // namespace

const char* downloadStatusName(DownloadStatus status) {
    switch (status) {
        case DownloadStatus::Stored:
            return "stored";
        case DownloadStatus::InvalidArgument:
            return "invalid argument";
        case DownloadStatus::CannotCreateFile:
            return "cannot create file";
        case DownloadStatus::UnsupportedProtocol:
            return "unsupported protocol";
        case DownloadStatus::TooManyRedirects:
            return "too many redirects";
        case DownloadStatus::ConnectFailed:
            return "connect failed";
        case DownloadStatus::TimedOut:
            return "timed out";
        case DownloadStatus::HttpError:
            return "HTTP error";
        case DownloadStatus::Truncated:
            return "truncated";
        case DownloadStatus::TooLarge:
            return "too large";
        case DownloadStatus::WriteFailed:
            return "write failed";
        case DownloadStatus::RenameFailed:
            return "rename failed";
        case DownloadStatus::TransferFailed:
            return "transfer failed";
        case DownloadStatus::Cancelled:
            return "cancelled";
    }
    return "unknown";
}

std::string DownloadResult::reasonText() const {
    std::string text = downloadStatusName(status);
    if (httpStatus != 0) text += " " + std::to_string(httpStatus);
    if (!detail.empty()) text += ": " + detail;
    return text;
}

namespace {

int checkCancel(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

}  // namespace

namespace {

// One transfer into the sink with the limits of the options; true when the
// whole answer arrived with a 2xx status, else result holds why not.
bool perform(CURL* h, const std::string& url, const DownloadOptions& options, Sink& sink,
             DownloadResult& result) {
    sink.cap = options.maxBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, options.maxRedirects);
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(options.totalTimeout.count()));
    if (options.lowSpeedTime.count() > 0) {
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, options.lowSpeedBytesPerSecond);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(options.lowSpeedTime.count()));
    }
    if (options.maxBytes > 0) {
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    }
    curl_easy_setopt(h, CURLOPT_USERAGENT, "nimbrel");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    if (options.cancel) {
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkCancel);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(options.cancel));
    }

    const CURLcode code = curl_easy_perform(h);
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    if (code == CURLE_ABORTED_BY_CALLBACK && options.cancel && options.cancel->load()) {
        result.status = DownloadStatus::Cancelled;
        result.detail = "cancelled";
        return false;
    }
    if (code != CURLE_OK) {
        result.status = statusFromCurl(code, sink);
        if (result.status == DownloadStatus::WriteFailed && sink.writeErrno != 0) {
            result.detail = systemError("write", sink.writeErrno);
        } else {
            result.detail = errorText[0] ? errorText : curl_easy_strerror(code);
        }
        return false;
    }
    if (result.httpStatus < 200 || result.httpStatus > 299) {
        // A 3xx left over when redirects are not followed further, or a
        // 1xx, is not the file that was asked for.
        result.status = DownloadStatus::HttpError;
        result.detail = "HTTP status " + std::to_string(result.httpStatus);
        return false;
    }
    return true;
}

}  // namespace

DownloadResult downloadToFile(const std::string& url, const std::string& file,
                              const DownloadOptions& options) {
    DownloadResult result;
    const std::filesystem::path target(file);
    if (url.empty() || file.empty() || !target.has_filename()) {
        result.status = DownloadStatus::InvalidArgument;
        return result;
    }
    if (const CURLcode init = globalInit(); init != CURLE_OK) {
        result.detail = curl_easy_strerror(init);
        return result;
    }
    EasyHandle easy;
    if (!easy.h) {
        result.detail = "curl_easy_init failed";
        return result;
    }

    // The body goes to the file that replaces the target only when the
    // whole answer has arrived and was accepted.
    bool ran = false, transferred = false;
    auto transfer = [&](int fd) {
        ran = true;
        Sink sink;
        sink.fd = fd;
        transferred = perform(easy.h, url, options, sink, result);
        errno = 0;
        return transferred;
    };
    const ReplaceResult placed = replaceFile(
        file, transfer, options.syncToDisk ? Durability::Kept : Durability::Replaceable);
    if (ran && !transferred) return result;  // the transfer's own reason
    if (!placed.ok()) {
        switch (placed.error) {
            case ReplaceError::CannotCreate:
                result.status = DownloadStatus::CannotCreateFile;
                break;
            case ReplaceError::RenameFailed:
                result.status = DownloadStatus::RenameFailed;
                break;
            default:
                result.status = DownloadStatus::WriteFailed;
                break;
        }
        result.detail = placed.reasonText();
        return result;
    }
    result.status = DownloadStatus::Stored;
    return result;
}

FetchedBytes fetchToMemory(const std::string& url, const DownloadOptions& options) {
    FetchedBytes out;
    if (url.empty()) {
        out.result.status = DownloadStatus::InvalidArgument;
        return out;
    }
    if (const CURLcode init = globalInit(); init != CURLE_OK) {
        out.result.detail = curl_easy_strerror(init);
        return out;
    }
    EasyHandle easy;
    if (!easy.h) {
        out.result.detail = "curl_easy_init failed";
        return out;
    }
    Sink sink;
    sink.memory = &out.bytes;
    if (perform(easy.h, url, options, sink, out.result)) {
        out.result.status = DownloadStatus::Stored;
    } else {
        // Half an answer is no answer.
        out.bytes.clear();
        out.bytes.shrink_to_fit();
    }
    return out;
}

}  // namespace nimbrel
