// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDrops.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace lirra {

namespace {

// The local file names in a drag, and whether it carried other URLs too.
struct DraggedFiles {
    QStringList names;
    bool mixed = false;
};

DraggedFiles draggedFiles(const QMimeData* mime) {
    DraggedFiles files;
    if (!mime || !mime->hasUrls()) return files;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            files.names.append(url.toLocalFile());
        } else {
            files.mixed = true;
        }
    }
    return files;
}

}  // namespace

bool handleFileDrop(QEvent& event, const std::function<bool(const QStringList&)>& accepts,
                    const std::function<void(const QStringList&)>& conclude) {
    if (event.type() != QEvent::DragEnter && event.type() != QEvent::DragMove &&
        event.type() != QEvent::Drop) {
        return false;
    }
    auto& drop = static_cast<QDropEvent&>(event);
    const DraggedFiles files = draggedFiles(drop.mimeData());
    if (!files.names.isEmpty() && !files.mixed && accepts(files.names)) {
        drop.setDropAction(Qt::CopyAction);
        drop.accept();
        if (event.type() == QEvent::Drop) conclude(files.names);
    } else {
        drop.ignore();
    }
    return true;
}

}  // namespace lirra
