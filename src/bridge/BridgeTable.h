// SPDX-License-Identifier: GPL-3.0-or-later
// A bridge table: the names of one kind of bridge URL, each with its handler. A name is found by
// exact, case-sensitive comparison; an unknown name finds no handler.
#pragma once

#include <QLatin1String>
#include <QString>
#include <span>

namespace lirra {

template <typename Handler>
struct BridgeEntry {
    const char* name;
    Handler handler;
};

template <typename Handler>
using BridgeTable = std::span<const BridgeEntry<Handler>>;

// The handler of `name`, or nullptr.
template <typename Handler>
Handler findHandler(BridgeTable<Handler> table, const QString& name) {
    for (const BridgeEntry<Handler>& entry : table) {
        if (name == QLatin1String(entry.name)) return entry.handler;
    }
    return nullptr;
}

}  // namespace lirra
