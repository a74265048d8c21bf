// SPDX-License-Identifier: GPL-3.0-or-later
// The JavaScript texts the native side evaluates in the pages: jQuery events triggered on the
// page's window (guarded so a page without jQuery ignores them) and the two page queries.
// The pages are bound to these texts; a test pins each one.
#pragma once

#include <QString>
#include <optional>

namespace lirra {

class WebView;

inline constexpr char kRefreshLevelEvent[] = "refreshLevel";
inline constexpr char kTimeUpdateEvent[] = "timeUpdate";
inline constexpr char kResizedEvent[] = "nativeApp:resized";
inline constexpr char kLeftFullscreenEvent[] = "nativeApp:leftFullscreen";
inline constexpr char kEnteredFullscreenEvent[] = "nativeApp:enteredFullscreen";
inline constexpr char kResponseEventPrefix[] = "response:";

// The language the user picked on the home page: its flag's class without "flag" and "small".
inline constexpr char kNativeLanguageQuery[] =
    "$('#selectedLanguage .flag').attr('class').replace('flag', '').replace('small', '')"
    ".replace(' ', '').replace(' ', '')";
// Where the player page's subtitle list starts, from the top of the page.
inline constexpr char kNextSubOffsetQuery[] = "$('#next-sub').offset().top";

// `text` as one JavaScript string literal in single quotes whose value is exactly `text`:
// quotes, backslashes, line terminators, control characters, "<" and ">" (so no "</script>"
// or "<!--" can appear) and unpaired surrogates are escaped; every other character stays as
// it is, so an ordinary name gives 'clip.mkv'.
QString jsStringLiteral(const QString& text);

// "if(typeof $ != 'undefined'){ $(window).trigger('NAME'); }", or with ", ARGUMENT" after the
// name. The name is written as a string literal (ordinary names appear unchanged); the
// argument is a JavaScript expression inserted as it is.
QString pageEventScript(const QString& name, const std::optional<QString>& argument = {});

// The reply to a data request: the event "response:" followed by the guid, with the value.
QString responseScript(const QString& guid, const QString& value);

// Triggers the event in the view without waiting for it; nothing without a view.
void triggerPageEvent(WebView* view, const QString& name,
                      const std::optional<QString>& argument = {});

}  // namespace lirra
