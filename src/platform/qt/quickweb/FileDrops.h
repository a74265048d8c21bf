// SPDX-License-Identifier: GPL-3.0-or-later
// Drags and drops on a web view: every one is the app's. A drop of local files only may be taken
// in, as the app decides; nothing else, or the engine would open whatever is dropped on the page.
#pragma once

#include <QStringList>
#include <functional>

class QEvent;

namespace lirra {

// For a drag-enter, drag-move or drop event: asks `accepts` about the local file names (never
// for a drag without any, or with other URLs among them), accepts or ignores the event
// accordingly and, for an accepted drop, calls `conclude`. True when the event was one of those
// (the caller stops its delivery), false for any other event.
bool handleFileDrop(QEvent& event, const std::function<bool(const QStringList&)>& accepts,
                    const std::function<void(const QStringList&)>& conclude);

}  // namespace lirra
