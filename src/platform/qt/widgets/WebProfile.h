// The one profile every widget web view shares (the "app" URL scheme, which the Qt Quick
// views share too, is in webcommon/AppScheme.h).
#pragma once

#include "platform/qt/webcommon/AppScheme.h"

class QString;
class QWebEngineProfile;

namespace lirra {

// Keeps the shared profile's local storage (what pages store: the learner's language, player
// settings) in `folder` across runs. Call before the first sharedWebProfile(); without it the
// profile is off the record (tests).
void setWebStorageFolder(const QString& folder);

// The shared profile (HTTP cache in memory, no cookies kept), with a handler for the
// "app" scheme installed: without one the engine replaces such navigations with
// about:blank#blocked before anyone can decide them. Made on first use, owned by the
// application object; every page must be gone before the application object is.
QWebEngineProfile& sharedWebProfile();

// Empties the shared profile's HTTP cache.
void clearHttpCache();

}  // namespace lirra
