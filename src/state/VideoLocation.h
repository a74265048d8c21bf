// SPDX-License-Identifier: GPL-3.0-or-later
// Where a video is: its text and whether that is a URL or a file path. The kind is decided once,
// when the text is taken in (fromText); everything after reads it instead of parsing again.
#pragma once

#include <QString>
#include <QUrl>

namespace lirra {

struct VideoLocation {
    enum class Kind { File, Url };

    QString text;  // a file-system path or a URL, as taken in
    Kind kind = Kind::File;

    // A URL exactly when the text parses strictly with a scheme and a non-empty host
    // ("file:///x" and plain paths are files).
    static VideoLocation fromText(const QString& text) {
        const QUrl url(text, QUrl::StrictMode);
        const bool isUrl = url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
        return {text, isUrl ? Kind::Url : Kind::File};
    }

    bool isUrl() const { return kind == Kind::Url; }
    bool operator==(const VideoLocation&) const = default;
};

}  // namespace lirra
