// SPDX-License-Identifier: GPL-3.0-or-later
// Which of a page's requests for the microphone the app grants: the learner records their own
// voice on the service's pages, so only the origin of the page the app loaded into the view gets
// it, and only the microphone (no camera, no screen); any other origin, an iframe's included, is
// refused.
#pragma once

#include <QUrl>

namespace lirra {

// `loaded`: the URL the app gave the view; `origin`: the origin asking; `microphoneOnly`: the
// request is for sound capture alone.
bool grantsMicrophone(const QUrl& loaded, const QUrl& origin, bool microphoneOnly);

}  // namespace lirra
