#include "QuickWebViewGlue.h"

#include <QDropEvent>
#include <QMimeData>
#include <QQuickItem>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNavigationRequest>

#include "QuickWebView.h"
#include "platform/Log.h"

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

QStringList QuickWebViewGlue::chooseFiles() { return owner_.chooseFiles(); }

void QuickWebViewGlue::consoleMessage(bool error, const QString& message, int line,
                                      const QString& source) {
    if (!error) {
        if (traceEnabled()) {
            traceLine(QStringLiteral("JavaScript console: %1 (%2:%3)")
                          .arg(message, source)
                          .arg(line)
                          .toStdString());
        }
        return;
    }
    logLine(QStringLiteral("JavaScript error: %1 (%2:%3)")
                .arg(message, source)
                .arg(line)
                .toStdString());
}

void QuickWebViewGlue::onNavigationRequested(QWebEngineNavigationRequest* request) {
    if (!owner_.acceptNavigation(request->url(), request->isMainFrame())) request->reject();
}

void QuickWebViewGlue::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    owner_.onLoadingChanged(info);
}

void QuickWebViewGlue::watch(QObject& item) {
    item.removeEventFilter(this);
    item.installEventFilter(this);
    auto* quickItem = qobject_cast<QQuickItem*>(&item);
    if (!quickItem) return;
    // The engine's render item comes and goes with the page's render process.
    QObject::disconnect(quickItem, &QQuickItem::childrenChanged, this, nullptr);
    QObject::connect(quickItem, &QQuickItem::childrenChanged, this, [this, quickItem] {
        for (QQuickItem* child : quickItem->childItems()) watch(*child);
    });
    for (QQuickItem* child : quickItem->childItems()) watch(*child);
}

bool QuickWebViewGlue::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            // Every drop is ours: a single local file may be taken in, nothing else, and the
            // engine would otherwise open whatever is dropped on the page.
            auto* drop = static_cast<QDropEvent*>(event);
            const DraggedFiles files = draggedFiles(drop->mimeData());
            const bool accepted =
                !files.names.isEmpty() && !files.mixed && owner_.acceptsDrop(files.names);
            if (accepted) {
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                if (event->type() == QEvent::Drop) owner_.concludeDrop(files.names);
            } else {
                drop->ignore();
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace lirra
