// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/FormEncoding.h"

namespace lirra {

namespace {

bool keepsAsIs(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || byte == '*' || byte == '-' || byte == '.' || byte == '_';
}

}  // namespace

QByteArray formUrlEncode(const QString& value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray utf8 = value.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (keepsAsIs(byte)) {
            encoded.append(c);
        } else if (byte == ' ') {
            encoded.append('+');
        } else {
            encoded.append('%');
            encoded.append(kHex[byte >> 4]);
            encoded.append(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

}  // namespace lirra
