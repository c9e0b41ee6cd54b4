#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

// Reads a written movie back with the FFmpeg libraries, independently of the code that wrote it: every
// picture in order, as the file holds it, and what its streams are.
namespace tetrapan::test {

struct ReadBack {
    QString error; // empty when the file read to its end
    int pictures = 0;
    double seconds = 0; // the container's length
    double framesPerSecond = 0;
    QString videoCodec, soundCodec; // FFmpeg's short names; empty for no such stream
    QString container;
    bool ok() const { return error.isEmpty(); }
};

// Calls `onPicture` with each picture (RGB32) and its number from 0; stops early when it returns false.
ReadBack readMovieBack(const QString& path, const std::function<bool(const QImage&, int)>& onPicture = {});

// How loud the sound track is in each window of `windowSeconds` from the file's start: the largest sample
// of any channel, 0 (silence) to 1. Empty when there is no sound track.
std::vector<float> readSoundPeaks(const QString& path, double windowSeconds);

} // namespace tetrapan::test
