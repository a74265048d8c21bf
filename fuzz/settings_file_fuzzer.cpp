// SPDX-License-Identifier: GPL-3.0-or-later
// The settings-file reader on any file content. The file lives in memory (memfd), so nothing is
// written to disk.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/UserDefaults.h"

namespace lirra::fuzz {
namespace {

bool trimmedText(const std::string& s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    return s.empty() || (!blank(s.front()) && !blank(s.back()));
}

// Every "key = value" line that the reader should keep, the later winning.
std::vector<std::pair<std::string, std::string>> keptLines(const std::string& content) {
    std::vector<std::pair<std::string, std::string>> kept;
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        const auto first = line.find_first_not_of(" \t\r\n");
        if (first == std::string::npos || line[first] == '#') continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        auto trim = [](std::string s) {
            const auto a = s.find_first_not_of(" \t\r\n");
            if (a == std::string::npos) return std::string();
            return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
        };
        const std::string key = trim(line.substr(0, equals));
        if (key.empty()) continue;
        kept.emplace_back(key, trim(line.substr(equals + 1)));
    }
    return kept;
}

}  // namespace
}  // namespace lirra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra;
    using namespace lirra::fuzz;
    static const int fd = memfd_create("lirra-settings", 0);
    FUZZ_CHECK(fd >= 0, "memfd_create failed");
    FUZZ_CHECK(ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size),
               "writing the in-memory file failed");
    const std::string content(reinterpret_cast<const char*>(data), size);
    {
        UserDefaults defaults;
        std::string error;
        const bool loaded = defaults.loadFile("/proc/self/fd/" + std::to_string(fd), &error);
        FUZZ_CHECK(loaded, error.c_str());
        std::vector<std::pair<std::string, std::string>> kept = keptLines(content);
        for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
            const auto value = defaults.stringForKey(it->first);
            FUZZ_CHECK(value.has_value(), "a key of the file is missing");
            FUZZ_CHECK(trimmedText(it->first) && trimmedText(*value), "blanks kept");
            // Only the last line with a key counts.
            const bool later = std::any_of(
                kept.rbegin(), it, [&](const auto& entry) { return entry.first == it->first; });
            if (!later) FUZZ_CHECK(*value == it->second, "a value differs from its last line");
        }
    }
    return 0;
}
