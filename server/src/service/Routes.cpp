// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/AccountPages.h"
#include "service/AdminApi.h"
#include "service/AppEndpoints.h"
#include "service/DictionaryApi.h"
#include "service/HealthApi.h"
#include "service/NotebookApi.h"
#include "service/OnlineSettingsApi.h"
#include "service/Pages.h"
#include "service/PagesApi.h"
#include "service/Service.h"
#include "service/SpeechApi.h"
#include "service/WordsApi.h"

namespace lirra::server {

std::vector<Route> serviceRoutes(const ServiceContext& context) {
    const ServiceLimits& limits = context.limits;
    struct Entry {
        const char* method;
        const char* pattern;  // the whole path; captures become pathParams
        std::size_t maxBodyBytes;
        ServiceHandler handler;
    };
    const Entry table[] = {
        // The app's endpoints.
        {"POST", "/Player/GetSubtitlesToDownload", limits.maxFormBytes, lookup},
        {"GET", "/Subtitles/Download/([0-9]{1,10})", 0, download},
        {"POST", "/Subtitles/UploadSubtitles", limits.maxMultipartBytes, upload},
        // The pages, their scripts and styles.
        {"GET", "/Player/Home", 0, homePage},
        {"GET", "/Player/Play", 0, playerPage},
        {"GET", "/Account/PlayerRegister", 0, registerRedirect},
        // Accounts: the forms, what they post to, and the administrator's page.
        {"GET", "/Account/Register", 0, registerPage},
        {"POST", "/Account/Register", 4096, registerAccount},
        {"GET", "/Account/SignIn", 0, signInPage},
        {"POST", "/Account/SignIn", 4096, signIn},
        {"POST", "/Account/SignOut", 4096, signOut},
        {"GET", "/Account", 0, accountPage},
        {"POST", "/Account/Password", 4096, changePassword},
        {"POST", "/Account/Delete", 4096, deleteAccount},
        {"GET", "/api/account", 0, accountState},
        {"GET", "/Admin", 0, adminPage},
        {"GET", "/api/admin/learners", 0, adminLearners},
        {"POST", "/api/admin/learners/([0-9]{1,10})/password", 4096, adminSetPassword},
        {"POST", "/api/admin/learners/([0-9]{1,10})/disabled", 4096, adminSetDisabled},
        {"GET", "/api/admin/figures", 0, adminFigures},
        {"GET", "/", 0, rootRedirect},
        {"GET", "/static/([A-Za-z0-9._-]{1,64})", 0, staticFile},
        {"GET", "/l10n/([A-Za-z]{2,3}(?:[_-][A-Za-z0-9]{2,8})?)\\.json", 0, pageCatalogue},
        // The JSON API of the pages.
        {"GET", "/api/videos/recent", 0, recentVideos},
        {"GET", "/api/videos/([0-9]{1,10})/tracks", 0, videoTracks},
        {"POST", "/api/videos/([0-9]{1,10})/subtitles",
         std::max(limits.maxMultipartBytes, limits.maxJsonBytes), addSubtitles},
        {"GET", "/api/settings/opensubtitles", 0, onlineSettings},
        {"PUT", "/api/settings/opensubtitles", 4096, saveOnlineSettings},
        {"GET", "/api/dictionary/lookup", 0, dictionaryLookup},
        {"GET", "/api/dictionary/sources", 0, dictionarySources},
        {"GET", "/api/speech", 0, speak},
        // A supervisor's and a proxy's checks.
        {"GET", "/healthz", 0, health},
        {"GET", "/readyz", 0, readiness},
        // The learner's notebook.
        {"GET", "/Player/Notebook", 0, notebookPage},
        {"POST", "/api/notebook", 64 * 1024, saveToNotebook},
        {"GET", "/api/notebook", 0, listNotebook},
        {"DELETE", "/api/notebook/([0-9]{1,10})", 0, deleteFromNotebook},
        {"POST", "/api/notebook/anki", 64 * 1024, sendNotebookToAnki},
        {"GET", "/api/notebook/export\\.tsv", 0, exportNotebook},
        // Word statuses; an import is a text file of up to 16 MiB (413 past it).
        {"POST", "/api/words/statuses", 256 * 1024, wordStatuses},
        {"GET", "/api/words/counts", 0, wordCounts},
        {"GET", "/api/words/export\\.txt", 0, exportWords},
        {"POST", "/api/words/import", 16 * 1024 * 1024, importWords},
        {"PUT", "/api/words/([^/]{1,256})", 4096, setWordStatus},
    };
    std::vector<Route> routes;
    for (const Entry& entry : table) {
        routes.push_back({entry.method, entry.pattern, entry.maxBodyBytes,
                          [&context, handler = entry.handler](const HttpRequest& request) {
                              return handler(context, request);
                          }});
    }
    return routes;
}

}  // namespace lirra::server
