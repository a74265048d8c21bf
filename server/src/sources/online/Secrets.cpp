// SPDX-License-Identifier: GPL-3.0-or-later
#include "Secrets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace lirra::server::online {
namespace {

constexpr std::size_t kMaxFileBytes = 4096;

std::string secretsPath(const std::string& dataDirectory) {
    return dataDirectory + "/" + kSecretsFileName;
}

// Reads at most kMaxFileBytes + 1 bytes of a regular file, not following a final symlink;
// `tighten` makes a file others could read owner-only.
std::optional<std::string> readSmallFile(const std::string& path, bool tighten, bool& missing,
                                         std::string& error) {
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        missing = errno == ENOENT;
        error = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        error = path + " is not a regular file";
        return std::nullopt;
    }
    if (tighten && (info.st_mode & 077) != 0 && ::fchmod(fd, 0600) == 0) {
        std::fprintf(stderr, "lirra-server: %s could be read by others; now owner-only\n",
                     path.c_str());
    }
    std::string bytes;
    char buffer[1024];
    while (bytes.size() <= kMaxFileBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (bytes.size() > kMaxFileBytes) {
        error = path + " is too large";
        return std::nullopt;
    }
    return bytes;
}

std::string field(const nlohmann::json& doc, const char* key, bool isKey, bool& ok) {
    const auto it = doc.find(key);
    if (it == doc.end()) return {};
    if (!it->is_string() || !validSecret(it->get<std::string>(), isKey)) {
        ok = false;
        return {};
    }
    return it->get<std::string>();
}

}  // namespace

bool validSecret(const std::string& text, bool isKey) {
    if (text.size() > kMaxSecretBytes) return false;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
        if (isKey && (c == ' ' || c > 0x7E)) return false;
    }
    return true;
}

std::optional<Secrets> loadSecrets(const std::string& dataDirectory, std::string& error) {
    bool missing = false;
    const auto bytes = readSmallFile(secretsPath(dataDirectory), true, missing, error);
    if (!bytes) {
        if (missing) {
            error.clear();
            return Secrets{};
        }
        return std::nullopt;
    }
    const auto doc = nlohmann::json::parse(*bytes, nullptr, false);
    bool ok = doc.is_object();
    Secrets secrets;
    if (ok) {
        secrets.apiKey = field(doc, "key", true, ok);
        secrets.user = field(doc, "user", false, ok);
        secrets.password = field(doc, "password", false, ok);
    }
    if (!ok) {
        error = secretsPath(dataDirectory) + " is malformed";
        return std::nullopt;
    }
    return secrets;
}

std::string saveSecrets(const std::string& dataDirectory, const Secrets& secrets) {
    const std::string path = secretsPath(dataDirectory);
    const std::string temporary = path + ".new";
    const std::string text = nlohmann::json{
        {"key", secrets.apiKey},
        {"user", secrets.user},
        {"password",
         secrets.password}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    ::unlink(temporary.c_str());  // a leftover from a crash, or someone else's symlink
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return "cannot write " + temporary + ": " + std::strerror(errno);
    bool ok = ::fchmod(fd, 0600) == 0;
    std::size_t written = 0;
    while (ok && written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) written += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(ok ? errno : savedErrno);
        ::unlink(temporary.c_str());
        return "cannot write " + path + ": " + why;
    }
    return {};
}

std::optional<std::string> readKeyFile(const std::string& path, std::string& error) {
    bool missing = false;
    auto bytes = readSmallFile(path, false, missing, error);
    if (!bytes) return std::nullopt;
    std::string key = bytes->substr(0, bytes->find_first_of("\r\n"));
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    const auto start = key.find_first_not_of(" \t");
    key = start == std::string::npos ? std::string() : key.substr(start);
    if (key.empty() || !validSecret(key, true)) {
        error = path + " does not hold a key on its first line";
        return std::nullopt;
    }
    return key;
}

}  // namespace lirra::server::online
