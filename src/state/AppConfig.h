// SPDX-License-Identifier: GPL-3.0-or-later
// The product's configuration, fixed once the app has started.
#pragma once

#include <QString>

namespace lirra {

struct AppConfig {
    QString baseUrl;  // the service: an absolute http URL ending in "/"
    QString supportEmail = QStringLiteral("support@lirra.app");  // named in the playing alert
};

}  // namespace lirra
