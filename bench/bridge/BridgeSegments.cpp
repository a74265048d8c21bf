// SPDX-License-Identifier: GPL-3.0-or-later
#include "BridgeSegments.h"

#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <limits>

namespace lirra::bench {

namespace {

// Steady-clock microseconds of the app's steps for one guid.
struct NativeStamp {
    double asked = 0, decided = 0, reply = 0, evaluated = 0;
};

}  // namespace

PageStamps pageStamps(const QJsonObject& page) {
    PageStamps stamps;
    const QJsonObject asked = page.value("asked").toObject();
    const QJsonObject sent = page.value("sent").toObject();
    const QJsonObject answered = page.value("answered").toObject();
    for (auto it = answered.begin(); it != answered.end(); ++it) {
        if (!asked.contains(it.key()) || !sent.contains(it.key())) continue;
        stamps[it.key()] = {asked.value(it.key()).toDouble() * 1000,
                            sent.value(it.key()).toDouble() * 1000, it.value().toDouble() * 1000};
    }
    return stamps;
}

Spread spread(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[std::min(values.size() - 1, size_t(q * values.size()))];
    };
    return {at(0.5), at(0.99), values.back()};
}

void printSegments(const PageStamps& page, const QString& log) {
    static const QRegularExpression line(QStringLiteral(R"(^Bridge timing: (\w+) ([\d.]+) (.*)$)"),
                                         QRegularExpression::MultilineOption);
    static const QRegularExpression guidInUrl(QStringLiteral(R"(guid=([\w-]+))"));
    static const QRegularExpression guidInReply(QStringLiteral(R"(response:([\w-]+))"));
    std::map<QString, NativeStamp> native;
    // The page's clock minus ours, from the reading that took the shortest round trip.
    double offset = 0, bracket = std::numeric_limits<double>::max();
    for (auto match = line.globalMatch(log); match.hasNext();) {
        const auto found = match.next();
        const QString point = found.captured(1), subject = found.captured(3);
        const double at = found.captured(2).toDouble();
        if (point == QLatin1String("clock")) {
            const QStringList parts = subject.split(' ');
            const double back = parts.value(0).toDouble(), pageAt = parts.value(1).toDouble();
            if (parts.size() == 2 && back - at < bracket) {
                bracket = back - at;
                offset = pageAt - (at + back) / 2;
            }
            continue;
        }
        const bool url = point == QLatin1String("asked") || point == QLatin1String("decided");
        const auto guid = (url ? guidInUrl : guidInReply).match(subject);
        if (!guid.hasMatch()) continue;
        NativeStamp& stamp = native[guid.captured(1)];
        double& slot = point == QLatin1String("asked")     ? stamp.asked
                       : point == QLatin1String("decided") ? stamp.decided
                       : point == QLatin1String("reply")   ? stamp.reply
                                                           : stamp.evaluated;
        if (slot == 0) slot = at;
    }
    if (bracket == std::numeric_limits<double>::max()) {
        std::printf("no readings of the page's clock: was LIRRA_BRIDGE_TIMING passed on?\n");
        return;
    }
    struct Segment {
        const char* name;
        double (*of)(const PageStamp&, const NativeStamp&, double offset);
    };
    static const Segment kSegments[] = {
        {"page: request() to its iframe (the module's flush)",
         [](const PageStamp& p, const NativeStamp&, double) { return p.sent - p.asked; }},
        {"iframe to the engine's navigation question",
         [](const PageStamp& p, const NativeStamp& n, double o) { return n.asked - (p.sent - o); }},
        {"navigation policy decided",
         [](const PageStamp&, const NativeStamp& n, double) { return n.decided - n.asked; }},
        {"posted task waited and handled, to the reply",
         [](const PageStamp&, const NativeStamp& n, double) { return n.reply - n.decided; }},
        {"reply evaluated to the page's handler",
         [](const PageStamp& p, const NativeStamp& n, double o) {
             return (p.answered - o) - n.reply;
         }},
        {"whole round trip (page clock)",
         [](const PageStamp& p, const NativeStamp&, double) { return p.answered - p.asked; }},
        {"(reply's evaluation reported back to the app)",
         [](const PageStamp&, const NativeStamp& n, double) { return n.evaluated - n.reply; }},
    };
    std::printf(
        "| step | median ms | p99 ms | share of the median round trip |\n|---|---|---|---|\n");
    double whole = 0;
    std::vector<Spread> spreads;
    for (const Segment& segment : kSegments) {
        std::vector<double> values;
        for (const auto& [guid, p] : page) {
            const auto n = native.find(guid);
            if (n != native.end() && n->second.reply > 0 && n->second.evaluated > 0)
                values.push_back(segment.of(p, n->second, offset) / 1000);
        }
        spreads.push_back(spread(values));
        if (segment.of == kSegments[5].of) whole = spreads.back().median;
    }
    for (size_t i = 0; i < spreads.size(); ++i) {
        std::printf("| %s | %.2f | %.2f | %.0f %% |\n", kSegments[i].name, spreads[i].median,
                    spreads[i].p99, whole > 0 ? spreads[i].median / whole * 100 : 0);
    }
    std::printf("(clocks lined up within +-%.2f ms: half the shortest reading's round trip)\n",
                bracket / 2000);
}

}  // namespace lirra::bench
