// SPDX-License-Identifier: GPL-3.0-or-later
// The one profile every web view shares: the home page and the player page keep their settings
// in the same local storage.
#pragma once

class QByteArray;
class QString;
class QUrl;
class QQuickWebEngineProfile;

namespace lirra {

class SharedCookieJar;

// Keeps the shared profile's local storage in `folder` across runs. Call before the first
// sharedQuickWebProfile(); without it the profile is off the record (tests).
void setQuickWebStorageFolder(const QString& folder);

// The languages the pages' navigator.languages give (an Accept-Language value, the system
// locale's). Call before the first sharedQuickWebProfile(); empty keeps the engine's own.
void setQuickWebAcceptLanguage(const QString& languages);

// The shared profile ("lirra": HTTP cache in memory, cookies that carry an expiry kept with the
// storage (a service's sign-in outlives the run), the "app" scheme's
// handler installed, downloads handed to the save dialog). Made on first use, owned by the
// application object; every view must be gone before the application object is.
QQuickWebEngineProfile& sharedQuickWebProfile();

// Puts a cookie for `origin` alone into the shared profile (host-only, HttpOnly, SameSite=Strict,
// for this run only): the pages of that origin carry it on every request, their scripts never
// see it, and no other site's page makes them send it. Call before the first page loads.
void setQuickWebServiceCookie(const QUrl& origin, const QByteArray& name, const QByteArray& value);

// The app's own requests carry the pages' cookies and the pages get those the app's answers set:
// one set of cookies for both, as a signed-in session needs. `jar` must outlive the profile's
// use.
void shareQuickWebCookies(SharedCookieJar& jar);

// Empties the shared profile's HTTP cache.
void clearQuickHttpCache();

}  // namespace lirra
