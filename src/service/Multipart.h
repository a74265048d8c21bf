// SPDX-License-Identifier: GPL-3.0-or-later
// The multipart/form-data body of the subtitle upload and its boundary.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace lirra {

inline constexpr int kBoundaryLength = 64;
inline constexpr char kBoundaryAlphabet[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// 64 characters, each drawn uniformly and independently from the 62-character alphabet.
QByteArray makeBoundary();

struct MultipartFile {
    std::uint32_t subsId = 0;  // the part's name
    QString fileName;          // the part's filename
    QByteArray fileData;
};

// A file name as it is written between the quotes of a disposition line: `"`, CR and LF become
// %22, %0D and %0A, as browsers write them, so a name cannot end the line or the quoted text.
QByteArray dispositionFileName(const QString& fileName);

// "--B" CRLF, then for each file its disposition line, "Content-Type: text/plain", an empty
// line and its bytes, parts separated by CRLF "--B" CRLF, and CRLF "--B--" CRLF at the end.
// With no file: "--B" CRLF CRLF "--B--" CRLF.
QByteArray multipartBody(const QByteArray& boundary, const std::vector<MultipartFile>& files);

}  // namespace lirra
