// The service's routes: the endpoints the app calls, the pages, and the JSON API of the pages.
// Handlers take a request and return a response; they never throw.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Http.h"
#include "Library.h"
#include "Store.h"

namespace lirra::server {

struct ServiceLimits {
    std::size_t maxFormBytes = 64 * 1024;
    std::size_t maxMultipartBytes = 32 * 1024 * 1024;
    std::size_t maxJsonBytes = 12 * 1024 * 1024;
    std::size_t maxSubtitleBytes = 8 * 1024 * 1024;
    std::size_t maxFileNameBytes = 1024;
};

class Service {
  public:
    // `baseUrl` gives the address downloads are offered at when a request has no usable Host.
    Service(Store& store, Library& library, ServiceLimits limits,
            std::function<std::string()> baseUrl);

    std::vector<Route> routes();

    HttpResponse lookup(const HttpRequest& request);
    HttpResponse download(const HttpRequest& request);
    HttpResponse upload(const HttpRequest& request);
    HttpResponse homePage(const HttpRequest& request);
    HttpResponse playerPage(const HttpRequest& request);
    HttpResponse registerPage(const HttpRequest& request);
    HttpResponse staticFile(const HttpRequest& request);
    HttpResponse recentVideos(const HttpRequest& request);
    HttpResponse videoTracks(const HttpRequest& request);
    HttpResponse addSubtitles(const HttpRequest& request);

  private:
    std::string publicBaseUrl(const HttpRequest& request) const;

    Store& store_;
    Library& library_;
    ServiceLimits limits_;
    std::function<std::string()> baseUrl_;
};

}  // namespace lirra::server
