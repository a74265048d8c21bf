// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/AssText.h"

#include <cctype>
#include <vector>

namespace lirra::server {
namespace {

enum Style : unsigned { kItalic = 1, kBold = 2, kUnderline = 4 };
constexpr char kTagOf[] = {'i', 'b', 'u'};

struct Run {
    unsigned style = 0;
    std::string text;
};
using Line = std::vector<Run>;

struct State {
    unsigned style = 0;
    bool drawing = false;
};

bool isAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// The leading number of an argument ("1", " 700", "-1"); none for an empty or wordy one.
bool leadingNumber(std::string_view arg, long& value) {
    while (!arg.empty() && arg.front() == ' ') arg.remove_prefix(1);
    bool negative = false;
    if (!arg.empty() && arg.front() == '-') {
        negative = true;
        arg.remove_prefix(1);
    }
    if (arg.empty() || !std::isdigit(static_cast<unsigned char>(arg.front()))) return false;
    long v = 0;
    for (char c : arg) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        if (v < 100000) v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

void setStyle(State& state, unsigned bit, bool on) {
    state.style = on ? (state.style | bit) : (state.style & ~bit);
}

// One override block's content (between the braces). Only the codes that change what the
// pages show matter; the rest (positions, colours, fonts, animations) is skipped.
void applyOverrides(std::string_view block, State& state) {
    std::size_t i = 0;
    while ((i = block.find('\\', i)) != std::string_view::npos) {
        ++i;
        std::size_t nameEnd = i;
        while (nameEnd < block.size() && isAlpha(block[nameEnd])) ++nameEnd;
        const std::string_view name = block.substr(i, nameEnd - i);
        std::string_view arg;
        std::size_t next = nameEnd;
        if (next < block.size() && block[next] == '(') {
            // \t(...\i1...) animates, \clip(...) draws: nothing inside applies now.
            int depth = 0;
            for (; next < block.size(); ++next) {
                if (block[next] == '(') ++depth;
                if (block[next] == ')' && --depth == 0) {
                    ++next;
                    break;
                }
            }
        } else {
            next = block.find('\\', nameEnd);
            if (next == std::string_view::npos) next = block.size();
            arg = block.substr(nameEnd, next - nameEnd);
        }
        i = next;
        long value = 0;
        const bool hasNumber = leadingNumber(arg, value);
        if (name == "i") {
            setStyle(state, kItalic, hasNumber && value == 1);
        } else if (name == "b") {
            // \b1 or a font weight; \b0 and an empty \b go back to normal.
            setStyle(state, kBold, hasNumber && (value == 1 || value >= 700));
        } else if (name == "u") {
            setStyle(state, kUnderline, hasNumber && value == 1);
        } else if (name == "p") {
            state.drawing = hasNumber && value > 0;
        } else if (!name.empty() && name.front() == 'r') {
            state.style = 0;  // \r or \rStyleName: back to the style, whose looks are not kept
        }
    }
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.push_back(c);
        }
    }
}

// Spaces at either end of a line carry nothing; a line left empty is dropped.
void trimLine(Line& line) {
    while (!line.empty()) {
        auto& text = line.front().text;
        while (!text.empty() && text.front() == ' ') text.erase(text.begin());
        if (!text.empty()) break;
        line.erase(line.begin());
    }
    while (!line.empty()) {
        auto& text = line.back().text;
        while (!text.empty() && text.back() == ' ') text.pop_back();
        if (!text.empty()) break;
        line.pop_back();
    }
}

// Tags opened and closed as the style changes from run to run, always balanced: a change
// closes tags down to the first one no longer wanted, then opens what is missing.
std::string render(const std::vector<Line>& lines) {
    std::string out;
    std::vector<unsigned> open;
    auto closeTop = [&] {
        out += "</";
        out.push_back(kTagOf[open.back() == kItalic ? 0 : open.back() == kBold ? 1 : 2]);
        out.push_back('>');
        open.pop_back();
    };
    // Closes the open tags down to the first one `style` no longer wants.
    auto closeUnwanted = [&](unsigned style) {
        std::size_t keep = 0;
        while (keep < open.size() && (style & open[keep])) ++keep;
        while (open.size() > keep) closeTop();
    };
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (n) {
            // A style that ends with the line is closed before the break, not after it.
            closeUnwanted(lines[n].front().style);
            out.push_back('\n');
        }
        for (const auto& run : lines[n]) {
            closeUnwanted(run.style);
            for (unsigned k = 0; k < 3; ++k) {
                const unsigned bit = 1u << k;
                bool isOpen = false;
                for (unsigned o : open) isOpen = isOpen || o == bit;
                if ((run.style & bit) && !isOpen) {
                    out.push_back('<');
                    out.push_back(kTagOf[k]);
                    out.push_back('>');
                    open.push_back(bit);
                }
            }
            appendEscaped(out, run.text);
        }
    }
    while (!open.empty()) closeTop();
    return out;
}

}  // namespace

std::string assTextToCueText(std::string_view text) {
    std::vector<Line> lines(1);
    State state;
    auto put = [&](char c) {
        if (state.drawing) return;
        Line& line = lines.back();
        if (line.empty() || line.back().style != state.style) line.push_back({state.style, {}});
        line.back().text.push_back(c);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{') {
            const auto close = text.find('}', i + 1);
            if (close != std::string_view::npos) {
                applyOverrides(text.substr(i + 1, close - i - 1), state);
                i = close;
                continue;
            }
            // An unclosed brace is shown as it stands, like any other character.
        }
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == 'N' || next == 'n') {
                if (!state.drawing) lines.emplace_back();
                ++i;
                continue;
            }
            if (next == 'h') {
                put(' ');
                ++i;
                continue;
            }
        }
        if (c == '\t' || c == '\r' || c == '\n') {
            put(' ');
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            put(c);
        }
    }
    std::vector<Line> kept;
    for (auto& line : lines) {
        trimLine(line);
        if (!line.empty()) kept.push_back(std::move(line));
    }
    return render(kept);
}

}  // namespace lirra::server
