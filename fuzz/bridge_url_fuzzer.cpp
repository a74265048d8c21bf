// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge URL reader and the arguments map, on any text a page could navigate to.
#include <QStringList>
#include <QUrl>

#include "FuzzCheck.h"
#include "bridge/BridgeUrl.h"

namespace lirra::fuzz {
namespace {

void checkArguments(const QString& query) {
    const BridgeArguments arguments = argumentsFromQuery(query);
    const QStringList pieces = query.split(QLatin1Char('&'));
    QString rejoined;
    for (auto it = arguments.cbegin(); it != arguments.cend(); ++it) {
        for (const QString& part : {it.key(), it.value()}) {
            FUZZ_CHECK(!part.contains(QLatin1Char('&')) && !part.contains(QLatin1Char('=')),
                       "a name or value holds a separator");
        }
        // The entry is the last piece of the query with its name.
        const QString entry = it.key() + QLatin1Char('=') + it.value();
        qsizetype last = -1;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            if (pieces[i].startsWith(it.key() + QLatin1Char('=')) &&
                pieces[i].count(QLatin1Char('=')) == 1) {
                last = i;
            }
        }
        FUZZ_CHECK(last >= 0 && pieces[last] == entry, "an entry is not the query's last piece");
        if (!rejoined.isEmpty()) rejoined += QLatin1Char('&');
        rejoined += entry;
    }
    FUZZ_CHECK(argumentsFromQuery(rejoined) == arguments, "the arguments do not read back");
}

void checkUrl(const QUrl& url) {
    const BridgeUrl bridge = BridgeUrl::fromUrl(url);
    const QStringList components = pathComponents(url);
    FUZZ_CHECK(bridge.kind == (components.isEmpty() ? QString() : components.first()),
               "kind is not the first path component");
    FUZZ_CHECK(bridge.name == lastPathComponent(url), "name is not the last path component");
    for (const QString& component : components) {
        FUZZ_CHECK(!component.isEmpty(), "an empty path component");
    }
    if (!components.isEmpty()) {
        FUZZ_CHECK(bridge.arguments == argumentsFromQuery(url.query(QUrl::FullyEncoded)),
                   "the arguments are not those of the query");
    } else {
        FUZZ_CHECK(bridge.arguments.isEmpty(), "arguments without a path");
    }
    (void)isBridgeUrl(url);
    (void)isRegistrationLink(url);
}

}  // namespace
}  // namespace lirra::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lirra::fuzz;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const QString text = fromUtf8Bytes(bytes);
    checkArguments(text);
    checkUrl(QUrl(text));
    checkUrl(QUrl(text, QUrl::StrictMode));
    checkUrl(QUrl::fromEncoded(QByteArray(bytes.data(), static_cast<qsizetype>(size))));
    return 0;
}
