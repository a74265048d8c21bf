// SPDX-License-Identifier: GPL-3.0-or-later
#include "subtitles/AssText.h"

#include <cctype>
#include <vector>

#include "subtitles/Text.h"

namespace lirra::server {
namespace {

enum Style : unsigned { kItalic = 1, kBold = 2, kUnderline = 4 };
constexpr char kTagOf[] = {'i', 'b', 'u'};

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

// The cue text written as the characters come, in one pass and without keeping the runs:
// spaces at either end of a line carry nothing and a line left empty is dropped, so spaces
// wait (already written, with their tags) until a character shows they are inside the line.
// Tags open and close as the style changes, always balanced: a change closes tags down to the
// first one no longer wanted, then opens what is missing; a style that ends with a line is
// closed before the break.
class CueWriter {
  public:
    void put(char c, unsigned style) {
        if (c == ' ') {
            if (!lineShown_) return;
            if (spaces_.empty()) openBeforeSpaces_ = open_;
            change(spaces_, style);
            spaces_.push_back(' ');
            return;
        }
        if (!lineShown_ && anyLine_) {
            change(out_, style, true);
            out_.push_back('\n');
        }
        out_ += spaces_;
        spaces_.clear();
        change(out_, style);
        appendHtmlEscaped(out_, c);
        lineShown_ = anyLine_ = true;
    }

    void endLine() {
        dropSpaces();
        lineShown_ = false;
    }

    std::string finish() {
        dropSpaces();
        while (!open_.empty()) closeTop(out_);
        return std::move(out_);
    }

  private:
    unsigned openMask() const {
        unsigned mask = 0;
        for (unsigned o : open_) mask |= o;
        return mask;
    }

    void dropSpaces() {
        if (spaces_.empty()) return;
        spaces_.clear();
        open_ = openBeforeSpaces_;
    }

    void closeTop(std::string& to) {
        to += "</";
        to.push_back(kTagOf[open_.back() == kItalic ? 0 : open_.back() == kBold ? 1 : 2]);
        to.push_back('>');
        open_.pop_back();
    }

    // Closes the open tags down to the first one `style` no longer wants, then (unless
    // `closeOnly`) opens what it lacks.
    void change(std::string& to, unsigned style, bool closeOnly = false) {
        std::size_t keep = 0;
        while (keep < open_.size() && (style & open_[keep])) ++keep;
        while (open_.size() > keep) closeTop(to);
        if (closeOnly) return;
        const unsigned have = openMask();
        for (unsigned k = 0; k < 3; ++k) {
            const unsigned bit = 1u << k;
            if ((style & bit) && !(have & bit)) {
                to.push_back('<');
                to.push_back(kTagOf[k]);
                to.push_back('>');
                open_.push_back(bit);
            }
        }
    }

    std::string out_;
    std::string spaces_;  // written, not yet kept
    std::vector<unsigned> open_, openBeforeSpaces_;
    bool lineShown_ = false;  // the current line has shown a character
    bool anyLine_ = false;
};

}  // namespace

std::string assTextToCueText(std::string_view text) {
    CueWriter writer;
    State state;
    auto put = [&](char c) {
        if (!state.drawing) writer.put(c, state.style);
    };
    ForwardFind nextClose(text, '}');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{') {
            const auto close = nextClose.from(i + 1);
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
                if (!state.drawing) writer.endLine();
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
    return writer.finish();
}

}  // namespace lirra::server
