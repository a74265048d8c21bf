// SPDX-License-Identifier: GPL-3.0-or-later
#include "DictionaryCatalog.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace lirra::server::dictionary {
namespace {

bool isLowerCode(const std::string& text, std::size_t at) {
    if (at + 3 > text.size()) return false;
    return std::all_of(text.begin() + static_cast<long>(at),
                       text.begin() + static_cast<long>(at) + 3,
                       [](char c) { return c >= 'a' && c <= 'z'; });
}

bool regularFile(const std::string& path, std::uint64_t* size = nullptr) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (size) *size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

}  // namespace

DictionaryRole roleFromName(const std::string& id, std::string& language) {
    std::string name;
    for (char c : id)
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    language.clear();
    const std::size_t n = name.size();
    // "…eng-XXX" or "…XXX-eng", the pair at the start or after a separator.
    if (n < 7 || name[n - 4] != '-') return DictionaryRole::kDefinitions;
    if (n > 7 && name[n - 8] != '-' && name[n - 8] != '_' && name[n - 8] != '.') {
        return DictionaryRole::kDefinitions;
    }
    const std::string first = name.substr(n - 7, 3), second = name.substr(n - 3);
    if (!isLowerCode(name, n - 7) || !isLowerCode(name, n - 3) || first == second) {
        return DictionaryRole::kDefinitions;
    }
    if (first == "eng") {
        language = second;
        return DictionaryRole::kTranslations;
    }
    if (second == "eng") {
        language = first;
        return DictionaryRole::kIntoEnglish;
    }
    return DictionaryRole::kDefinitions;
}

DictionaryCatalog::DictionaryCatalog(std::vector<std::string> folders, Log log)
    : log_(std::move(log)) {
    if (!log_) log_ = [](const std::string&) {};
    for (const auto& folder : folders) scan(folder);
    for (std::size_t i = 0; i < files_.size(); ++i) slots_.push_back(std::make_unique<Slot>());
}

void DictionaryCatalog::scan(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        if (errno != ENOENT && errno != ENOTDIR) {
            log_("dictionary folder " + folder + " cannot be read: " + std::strerror(errno));
        }
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 6 && name.ends_with(".index") && name.front() != '.') {
            names.push_back(name.substr(0, name.size() - 6));
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    if (names.size() > kMaxPerFolder) {
        log_("dictionary folder " + folder + ": only the first " + std::to_string(kMaxPerFolder) +
             " of " + std::to_string(names.size()) + " dictionaries are used");
        names.resize(kMaxPerFolder);
    }
    for (const auto& id : names) {
        DictionaryFile file;
        file.id = id;
        file.folder = folder;
        file.indexPath = folder + "/" + id + ".index";
        if (!regularFile(file.indexPath, &file.indexBytes)) continue;
        for (const char* ending : {".dict.dz", ".dict"}) {
            if (regularFile(folder + "/" + id + ending)) {
                file.dataPath = folder + "/" + id + ending;
                break;
            }
        }
        if (file.dataPath.empty()) {
            log_("dictionary " + file.indexPath + " skipped: no " + id + ".dict.dz or " + id +
                 ".dict beside it");
            continue;
        }
        file.role = roleFromName(id, file.language);
        files_.push_back(std::move(file));
    }
}

std::shared_ptr<const Dictionary> DictionaryCatalog::open(std::size_t index) const {
    if (index >= slots_.size()) return nullptr;
    Slot& slot = *slots_[index];
    std::lock_guard lock(slot.mutex);
    if (!slot.tried) {
        slot.tried = true;
        std::string error;
        slot.dictionary = Dictionary::open(files_[index].indexPath, files_[index].dataPath, error);
        if (!slot.dictionary) {
            slot.failure = error;
            log_("dictionary " + files_[index].id + " skipped: " + error);
        }
    }
    slot.lastUse = std::chrono::steady_clock::now();
    return slot.dictionary;
}

std::size_t DictionaryCatalog::closeUnusedSince(
    std::chrono::steady_clock::time_point cutoff) const {
    std::size_t closed = 0;
    for (const auto& slot : slots_) {
        std::lock_guard lock(slot->mutex);
        // One that could not be opened stays skipped: trying again would only log it again.
        if (!slot->dictionary || slot->lastUse >= cutoff) continue;
        slot->dictionary.reset();
        slot->tried = false;
        ++closed;
    }
    return closed;
}

bool DictionaryCatalog::isOpen(std::size_t index) const {
    if (index >= slots_.size()) return false;
    std::lock_guard lock(slots_[index]->mutex);
    return slots_[index]->dictionary != nullptr;
}

std::string DictionaryCatalog::failure(std::size_t index) const {
    if (index >= slots_.size()) return {};
    std::lock_guard lock(slots_[index]->mutex);
    return slots_[index]->failure;
}

}  // namespace lirra::server::dictionary
