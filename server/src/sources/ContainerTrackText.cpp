// SPDX-License-Identifier: GPL-3.0-or-later
#include "sources/ContainerTrackText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace lirra::server {
namespace {

constexpr std::size_t kMaxHeaderBytes = 1024 * 1024;
constexpr char kDefaultFormat[] =
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text";

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Control characters other than line ends and tabs have no place in a subtitle file.
std::string withoutControls(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 || c == '\n' || c == '\r' || c == '\t') out.push_back(c);
    }
    return out;
}

std::vector<std::string> formatFields(std::string_view line) {
    std::vector<std::string> fields;
    line.remove_prefix(line.find(':') + 1);
    while (true) {
        const auto comma = line.find(',');
        fields.push_back(lower(trim(line.substr(0, comma))));
        if (comma == std::string_view::npos) break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

// The script header up to its [Events] Format line, with those fields; a header without them
// gets the standard ones.
void readHeader(std::string_view extradata, std::string& header, std::vector<std::string>& fields) {
    std::string text = extradata.size() > kMaxHeaderBytes ? "[Script Info]\nScriptType: v4.00+\n"
                                                          : withoutControls(extradata);
    std::string_view rest = text;
    bool inEvents = false;
    std::size_t pos = 0;
    while (pos < rest.size()) {
        auto eol = rest.find('\n', pos);
        if (eol == std::string_view::npos) eol = rest.size();
        const std::string line = lower(trim(rest.substr(pos, eol - pos)));
        if (!line.empty() && line.front() == '[') {
            if (inEvents) break;  // a section after [Events] without a Format line
            inEvents = line == "[events]";
        } else if (inEvents && line.starts_with("format:")) {
            auto candidate = formatFields(rest.substr(pos, eol - pos));
            if (candidate.size() >= 3 && candidate.back() == "text" &&
                std::count(candidate.begin(), candidate.end(), "start") == 1 &&
                std::count(candidate.begin(), candidate.end(), "end") == 1) {
                header = std::string(trim(rest.substr(0, eol))) + "\n";
                fields = std::move(candidate);
                return;
            }
            break;
        }
        pos = eol + 1;
    }
    // No usable Format line: the header as it was up to its events, then standard events.
    const std::string lowered = lower(text);
    const auto events = lowered.find("[events]");
    header = text.substr(0, events);
    while (!header.empty() && (header.back() == '\n' || header.back() == '\r')) header.pop_back();
    if (header.empty()) header = "[Script Info]\nScriptType: v4.00+";
    header += std::string("\n\n[Events]\n") + kDefaultFormat + "\n";
    fields = formatFields(kDefaultFormat);
}

// Text for a SubRip or WebVTT block: no blank line (it would end the block) and nothing that
// reads as a timing line.
std::string blockText(std::string_view payload) {
    std::string out;
    std::size_t pos = 0;
    const std::string clean = withoutControls(payload);
    std::string_view text = clean;
    while (pos <= text.size()) {
        auto eol = text.find('\n', pos);
        if (eol == std::string_view::npos) eol = text.size();
        std::string line(trim(text.substr(pos, eol - pos)));
        pos = eol + 1;
        if (line.empty()) continue;
        for (std::size_t at; (at = line.find("-->")) != std::string::npos;)
            line.replace(at, 3, "->");
        if (!out.empty()) out.push_back('\n');
        out += line;
    }
    return out;
}

std::string clock(std::int64_t ms, TrackTextKind kind) {
    char text[48];
    const long long h = ms / 3600000, m = ms / 60000 % 60, s = ms / 1000 % 60;
    if (kind == TrackTextKind::Ass) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", h, m, s,
                      static_cast<long long>(ms % 1000 / 10));
    } else {
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", h, m, s,
                      kind == TrackTextKind::SubRip ? ',' : '.', static_cast<long long>(ms % 1000));
    }
    return text;
}

}  // namespace

TrackTextBuilder::TrackTextBuilder(TrackTextKind kind, std::string_view assHeader,
                                   TrackTextLimits limits)
    : kind_(kind), limits_(limits) {
    if (kind_ == TrackTextKind::Ass) readHeader(assHeader, header_, eventFields_);
}

bool TrackTextBuilder::add(std::int64_t startMs, std::int64_t endMs, std::string_view payload) {
    if (full_) {
        ++dropped_;
        return false;
    }
    if (startMs < 0 || startMs > kMaxTimeMs || (endMs != kUnknownEnd && endMs < startMs)) {
        ++dropped_;
        return true;
    }
    endMs = endMs == kUnknownEnd ? kUnknownEnd : std::min(endMs, kMaxTimeMs);
    std::string body;
    if (kind_ != TrackTextKind::Ass) {
        body = blockText(payload);
    } else {
        // "ReadOrder,Layer,Style,...,Text": every Format field but the times, in order.
        std::string_view rest = payload;
        const auto first = rest.find(',');
        if (first == std::string_view::npos) {
            ++dropped_;
            return true;
        }
        rest.remove_prefix(first + 1);
        for (std::size_t k = 0; k < eventFields_.size(); ++k) {
            if (k) body.push_back(',');
            const std::string& name = eventFields_[k];
            if (name == "start" || name == "end") {
                body += name;  // a placeholder, written with the time in finish()
                continue;
            }
            if (k + 1 == eventFields_.size()) {
                body += rest;
                break;
            }
            const auto comma = rest.find(',');
            if (comma == std::string_view::npos) {
                ++dropped_;
                return true;
            }
            body += rest.substr(0, comma);
            rest.remove_prefix(comma + 1);
        }
        body = withoutControls(body);
        // One event, one line: line ends inside the text become the script's own break.
        for (std::size_t at; (at = body.find_first_of("\r\n")) != std::string::npos;) {
            body.replace(at, 1, "\\N");
        }
    }
    if (body.empty()) {
        ++dropped_;
        return true;
    }
    if (events_.size() >= limits_.maxEvents || bytes_ + body.size() > limits_.maxBytes) {
        full_ = true;
        ++dropped_;
        return false;
    }
    bytes_ += body.size() + 32;
    events_.push_back({startMs, endMs, std::move(body)});
    return true;
}

std::string TrackTextBuilder::finish() const {
    if (events_.empty()) return {};
    std::vector<const Event*> order;
    order.reserve(events_.size());
    for (const auto& e : events_) order.push_back(&e);
    std::stable_sort(order.begin(), order.end(),
                     [](const Event* a, const Event* b) { return a->startMs < b->startMs; });
    std::string out = kind_ == TrackTextKind::Ass      ? header_
                      : kind_ == TrackTextKind::WebVtt ? "WEBVTT\n\n"
                                                       : "";
    for (std::size_t n = 0; n < order.size(); ++n) {
        const Event& e = *order[n];
        std::int64_t end = e.endMs;
        if (end == kUnknownEnd) {
            end = e.startMs + kUnknownEndShownMs;
            for (std::size_t k = n + 1; k < order.size(); ++k) {
                if (order[k]->startMs > e.startMs) {
                    end = std::min(end, order[k]->startMs);
                    break;
                }
            }
        }
        const std::string start = clock(e.startMs, kind_), stop = clock(end, kind_);
        if (kind_ == TrackTextKind::Ass) {
            std::string line = "Dialogue: ";
            std::size_t field = 0, pos = 0;
            // Put the times where the placeholders stand: fields before Text hold no comma.
            while (field + 1 < eventFields_.size()) {
                const auto comma = e.body.find(',', pos);
                const std::string_view value(e.body.data() + pos, comma - pos);
                const std::string& name = eventFields_[field];
                line += name == "start" ? start : name == "end" ? stop : std::string(value);
                line.push_back(',');
                pos = comma + 1;
                ++field;
            }
            line.append(e.body, pos);
            out += line + "\n";
        } else {
            if (kind_ == TrackTextKind::SubRip) out += std::to_string(n + 1) + "\n";
            out += start + " --> " + stop + "\n" + e.body + "\n\n";
        }
    }
    return out;
}

const char* TrackTextBuilder::extension() const {
    switch (kind_) {
        case TrackTextKind::SubRip:
            return "srt";
        case TrackTextKind::WebVtt:
            return "vtt";
        case TrackTextKind::Ass:
            break;
    }
    return "ass";
}

}  // namespace lirra::server
