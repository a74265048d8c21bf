#include "UrlTest.h"

#include <QUrl>

namespace lirra {

bool isUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

}  // namespace lirra
