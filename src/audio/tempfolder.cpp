// SPDX-License-Identifier: GPL-3.0-or-later
#include "tempfolder.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace AudioTempFolder {

namespace {

std::mutex folderLock;  // guards folderPath
std::string folderPath;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

}  // namespace

std::string path() {
    std::lock_guard l(folderLock);
    if (folderPath.empty()) {
        std::string pattern = QDir::tempPath().toStdString() + "/zorvan-sound-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data())) folderPath = buffer.data();
    }
    return folderPath;
}

std::string fileNameFor(const std::string& url) {
    // The path: after "scheme://authority", up to the query or fragment.
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : url.find('/', start + 3);
    std::string urlPath = start == std::string::npos ? std::string() : url.substr(start);
    urlPath = urlPath.substr(0, urlPath.find_first_of("?#"));
    const std::string last = percentDecode(urlPath.substr(urlPath.rfind('/') + 1));

    std::string name;
    for (const char c : last) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        name += ok ? c : '_';
    }
    while (!name.empty() && name.front() == '.') name.erase(name.begin());
    if (name.size() > 64) name.resize(64);
    while (!name.empty() && name.back() == '.') name.pop_back();
    if (name.empty() || name == "_") name = "audio";
    if (name.find('.') == std::string::npos) name += ".mp3";
    return name;
}

int createFile(const std::string& url, std::string* outPath) {
    const std::string folder = path();
    if (folder.empty()) return -1;
    const std::string name = fileNameFor(url);
    // A name still in use (a stream of the same name ending in the
    // background) gets a number in front.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            folder + "/" + (attempt == 0 ? name : std::to_string(attempt) + "-" + name);
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            if (outPath) *outPath = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

void removeAll() {
    std::lock_guard l(folderLock);
    if (folderPath.empty()) return;
    if (DIR* dir = ::opendir(folderPath.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            ::unlink((folderPath + "/" + name).c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(folderPath.c_str());
    folderPath.clear();
}

}  // namespace AudioTempFolder
