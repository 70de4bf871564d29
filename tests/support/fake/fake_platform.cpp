#include "support/fake/fake_platform.h"

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace nimbrel {

DownloadResult FakePlatform::download(const std::string& url, const std::string& file,
                                      Durability durability) {
    const DownloadResult stored{DownloadStatus::Stored, 0, {}};
    const DownloadResult failed{DownloadStatus::ConnectFailed, 0, "no answer in the fake"};
    downloadedUrls.push_back(url);
    downloadedFiles.push_back(file);
    lastDurability = durability;
    if (onDownload) onDownload();
    if (waitsEnded) return {DownloadStatus::Cancelled, 0, "the program has ended"};
    if (failNextDownloads > 0) {
        --failNextDownloads;
        return failed;
    }
    auto it = bodies.find(url);
    if (it != bodies.end()) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(it->second.data(), static_cast<std::streamsize>(it->second.size()));
        return out ? stored : DownloadResult{DownloadStatus::WriteFailed, 0, "cannot write"};
    }
    if (httpFallback) return httpFallback(url, file) ? stored : failed;
    return failed;
}

void FakePlatform::fetchInBackground(std::vector<std::string> urls,
                                     std::chrono::milliseconds budget,
                                     std::function<void(std::vector<FetchedBytes>)> done) {
    fetchedUrls.insert(fetchedUrls.end(), urls.begin(), urls.end());
    fetchBudgetsMs.push_back(budget.count());
    pendingFetches.push_back({std::move(urls), std::move(done)});
}

void FakePlatform::answerFetches() {
    // Answers may ask for more; those wait for the next call.
    if (pendingFetches.empty()) return;
    if (onFetchAnswers) onFetchAnswers();
    std::vector<PendingFetch> due;
    due.swap(pendingFetches);
    if (waitsEnded) return;
    for (PendingFetch& p : due) {
        std::vector<FetchedBytes> answers;
        for (const std::string& url : p.urls) {
            FetchedBytes a;
            a.result = {DownloadStatus::ConnectFailed, 0, "no answer in the fake"};
            std::optional<std::string> body;
            if (failNextFetches > 0) {
                --failNextFetches;
            } else if (auto it = bodies.find(url); it != bodies.end()) {
                body = it->second;
            } else if (fetchFallback) {
                body = fetchFallback(url);
            } else if (httpFallback) {
                const std::string scratch = std::filesystem::temp_directory_path() /
                                            ("fake-fetch-" + std::to_string(::getpid()));
                if (httpFallback(url, scratch)) {
                    std::ifstream in(scratch, std::ios::binary);
                    body = std::string(std::istreambuf_iterator<char>(in), {});
                }
                std::error_code ec;
                std::filesystem::remove(scratch, ec);
            }
            if (body) {
                a.result = {DownloadStatus::Stored, 200, {}};
                a.bytes = std::move(*body);
            }
            answers.push_back(std::move(a));
        }
        p.done(std::move(answers));
    }
}

void FakePlatform::sleepMs(int ms) {
    sleeps.push_back(ms);
    if (advanceClockOnSleep) advanceSeconds(ms / 1000);
    if (onSleep) onSleep();
    if (!holdFetches) answerFetches();
}

MsgAnswer FakePlatform::messageBox(const std::string& text, const std::string& title,
                                   MsgButtons buttons) {
    messages.push_back({text, title, buttons});
    if (onMessageBox) onMessageBox();
    if (waitsEnded) return MsgAnswer::Cancel;
    if (answers.empty()) return MsgAnswer::Ok;
    MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

void FakePlatform::doEvents() {
    ++doEventsCalls;
    if (onDoEvents) onDoEvents();
    if (!holdFetches) answerFetches();
}

void FakePlatform::advanceSeconds(long seconds) {
    std::tm tm{};
    tm.tm_year = clock.year - 1900;
    tm.tm_mon = clock.month - 1;
    tm.tm_mday = clock.day;
    tm.tm_hour = clock.hour;
    tm.tm_min = clock.minute;
    tm.tm_sec = static_cast<int>(clock.second + seconds);
    tm.tm_isdst = 0;
    timegm(&tm);  // normalises the fields
    clock =
        DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace nimbrel
