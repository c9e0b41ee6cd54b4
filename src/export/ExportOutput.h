#pragma once

#include "export/ExportJob.h"
#include "platform/AtomicFileWriter.h"
#include "recording/ReplacementIo.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace tetrapan {

// The file an export writes: the encoders, the container, and a file of its own beside the chosen name that
// takes that name only once everything is written and on the disk. Until then, and on any failure or when
// abandoned, nothing is under the chosen name (an older file there stays as it was).
class ExportOutput {
public:
    ExportOutput() = default;
    ~ExportOutput();
    ExportOutput(const ExportOutput&) = delete;
    ExportOutput& operator=(const ExportOutput&) = delete;

    bool open(const ExportJob& job, int rateNum, int rateDen, bool withSound, QString* reason);
    // The sound encoder's samples per frame; every call of writeSound but the last gives exactly that many.
    int soundFrameSamples() const;
    bool writePicture(const QImage& picture, qint64 frameNo, QString* reason);
    bool writeSound(const float* left, const float* right, int count, QString* reason);
    // Flushes the encoders, ends the container, syncs the file and gives it the chosen name.
    bool finish(QString* reason);
    // Removes what was written.
    void abandon();

private:
    bool openVideo(const ExportJob& job, int rateNum, int rateDen, QString* reason);
    bool openSound(QString* reason);
    bool drain(AVCodecContext* codec, AVStream* stream, QString* reason);
    // error: the system's error number, or 0 where it did not say
    static bool writeFailed(QString* reason, int error);

    ReplacementFile file_;
    std::unique_ptr<ReplacementIo> io_;
    AVFormatContext* container_ = nullptr;
    AVCodecContext* video_ = nullptr;
    AVCodecContext* sound_ = nullptr;
    AVStream* videoStream_ = nullptr;
    AVStream* soundStream_ = nullptr;
    AVFrame* picture_ = nullptr;
    AVFrame* samples_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* converter_ = nullptr;
    qint64 soundPts_ = 0;
    bool headerWritten_ = false;
};

} // namespace tetrapan
