// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageEvents.h"

#include "platform/WebView.h"

namespace lirra {

namespace {

void appendHexEscape(QString& out, char16_t unit) {
    static const char kHex[] = "0123456789ABCDEF";
    if (unit < 0x100) {
        out += QLatin1String("\\x");
    } else {
        out += QLatin1String("\\u");
        out += QLatin1Char(kHex[(unit >> 12) & 0xF]);
        out += QLatin1Char(kHex[(unit >> 8) & 0xF]);
    }
    out += QLatin1Char(kHex[(unit >> 4) & 0xF]);
    out += QLatin1Char(kHex[unit & 0xF]);
}

}  // namespace

QString jsStringLiteral(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('\'');
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        switch (unit) {
            case u'\'':
                out += QLatin1String("\\'");
                continue;
            case u'\\':
                out += QLatin1String("\\\\");
                continue;
            case u'\n':
                out += QLatin1String("\\n");
                continue;
            case u'\r':
                out += QLatin1String("\\r");
                continue;
            case u'\t':
                out += QLatin1String("\\t");
                continue;
            case u'<':
            case u'>':
            case 0x7F:
            case 0x2028:  // line terminators inside a string literal in older engines
            case 0x2029:
                appendHexEscape(out, unit);
                continue;
            default:
                break;
        }
        if (unit < 0x20) {
            appendHexEscape(out, unit);
            continue;
        }
        if (QChar::isHighSurrogate(unit) && i + 1 < size &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            out += text[i];
            out += text[i + 1];
            ++i;
            continue;
        }
        if (QChar::isSurrogate(unit)) {
            appendHexEscape(out, unit);  // unpaired: cannot travel as UTF-8 source text
            continue;
        }
        out += text[i];
    }
    out += QLatin1Char('\'');
    return out;
}

QString pageEventScript(const QString& name, const std::optional<QString>& argument) {
    QString script = QStringLiteral("if(typeof $ != 'undefined'){ $(window).trigger(");
    script += jsStringLiteral(name);
    if (argument) {
        script += QLatin1String(", ");
        script += *argument;
    }
    script += QLatin1String("); }");
    return script;
}

QString responseScript(const QString& guid, const QString& value) {
    return pageEventScript(QLatin1String(kResponseEventPrefix) + guid, value);
}

void triggerPageEvent(WebView* view, const QString& name, const std::optional<QString>& argument) {
    if (view == nullptr) {
        return;
    }
    view->evaluateScriptAsync(pageEventScript(name, argument));
}

}  // namespace lirra
