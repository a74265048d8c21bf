// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/Multipart.h"

#include <random>

namespace lirra {

QByteArray makeBoundary() {
    // The system's entropy source (getrandom on Linux) for every character; the distribution
    // draws without the bias that a plain "random % 62" would have.
    std::random_device device;
    std::uniform_int_distribution<int> index(0, static_cast<int>(sizeof kBoundaryAlphabet) - 2);
    QByteArray boundary(kBoundaryLength, '\0');
    for (char& c : boundary) c = kBoundaryAlphabet[index(device)];
    return boundary;
}

QByteArray dispositionFileName(const QString& fileName) {
    QByteArray written;
    for (const char c : fileName.toUtf8()) {
        switch (c) {
            case '"':
                written += "%22";
                break;
            case '\r':
                written += "%0D";
                break;
            case '\n':
                written += "%0A";
                break;
            default:
                written += c;
        }
    }
    return written;
}

QByteArray multipartBody(const QByteArray& boundary, const std::vector<MultipartFile>& files) {
    QByteArray body = "--" + boundary + "\r\n";
    bool first = true;
    for (const MultipartFile& file : files) {
        if (!first) body += "\r\n--" + boundary + "\r\n";
        first = false;
        body += "Content-Disposition: form-data; name=\"" + QByteArray::number(file.subsId) +
                "\"; filename=\"" + dispositionFileName(file.fileName) + "\"\r\n";
        body += "Content-Type: text/plain\r\n\r\n";
        body += file.fileData;
    }
    body += "\r\n--" + boundary + "--\r\n";
    return body;
}

}  // namespace lirra
