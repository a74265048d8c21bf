// SPDX-License-Identifier: GPL-3.0-or-later
// The upload queue: every subtitle file that arrived, sent back to the service in one
// multipart POST to "Subtitles/UploadSubtitles"; when that has ended, successfully or not,
// "LaunchVideo" is posted. Class-level state, main thread only.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace lirra {

inline constexpr char kUploadPath[] = "Subtitles/UploadSubtitles";

class LSubtitlesToUpload {
  public:
    LSubtitlesToUpload(QString fileName, std::uint32_t subsId, QByteArray fileData);

    static void addSubToUpload(LSubtitlesToUpload sub);
    // Builds the body from the queue with a fresh boundary and sends it.
    static void uploadAllSubs();

    // The upload connection's callbacks (the class is its delegate).
    static void connectionDidReceiveResponse(int statusCode);
    static void didFailWithError(const QString& error);
    static void connectionDidFinishLoading();

    // Logs the outcome, empties the queue and posts "LaunchVideo".
    static void processResponse();
    // Clears `uploadProcessed` and drops the queue. An upload still running when this is called
    // belongs to an earlier video: its outcome is then ignored (no log, no "LaunchVideo").
    static void resetUploader();

    static const std::vector<LSubtitlesToUpload>& uploadQueue() { return uploadQueue_; }
    static bool uploadProcessed() { return uploadProcessed_; }
    static std::int32_t uploadStatusCode() { return uploadStatusCode_; }

  private:
    class ConnectionDelegate;

    std::uint32_t subsId_;
    QString fileName_;
    QByteArray fileData_;

    static std::vector<LSubtitlesToUpload> uploadQueue_;
    static bool uploadProcessed_;
    static std::int32_t uploadStatusCode_;
    // The connection failed: even after a 200 the service may not have taken the whole body.
    static bool uploadFailed_;
    // Bumped by resetUploader; an upload whose generation is no longer current is ignored.
    static std::uint64_t generation_;
};

}  // namespace lirra
