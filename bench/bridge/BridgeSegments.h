// SPDX-License-Identifier: GPL-3.0-or-later
// The steps of a bridge round trip: the page's stamps (its clock) lined up with the app's
// "Bridge timing:" log lines (the steady clock) through the app's readings of the page's clock.
#pragma once

#include <QJsonObject>
#include <QString>
#include <map>
#include <vector>

namespace lirra::bench {

// Microseconds of the page's clock, per guid: request() called, its iframe made, reply handled.
struct PageStamp {
    double asked = 0, sent = 0, answered = 0;
};
using PageStamps = std::map<QString, PageStamp>;
PageStamps pageStamps(const QJsonObject& page);  // {asked, sent, answered} of ms per guid

struct Spread {
    double median = 0, p99 = 0, max = 0;
};
Spread spread(std::vector<double> values);

// A table of each step's median and p99 in ms over the requests found on both sides.
void printSegments(const PageStamps& page, const QString& log);

}  // namespace lirra::bench
