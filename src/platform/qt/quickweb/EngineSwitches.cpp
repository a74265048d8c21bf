// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineSwitches.h"

#include <QList>
#include <algorithm>

namespace lirra {

namespace {

constexpr const char* kSwitches[] = {"--process-per-site"};

}  // namespace

QByteArray withEngineSwitches(const QByteArray& given) {
    QByteArray flags = given.trimmed();
    const QList<QByteArray> words = flags.split(' ');
    for (const char* name : kSwitches) {
        const QByteArray word(name);
        const bool named = std::any_of(words.begin(), words.end(), [&](const QByteArray& w) {
            return w == word || w.startsWith(word + '=');
        });
        if (named) continue;
        if (!flags.isEmpty()) flags += ' ';
        flags += word;
    }
    return flags;
}

void setEngineSwitches() {
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            withEngineSwitches(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS")));
}

}  // namespace lirra
