#pragma once

#include <QString>

namespace tetrapan::test {

// Recordings of one moment for aligning: a source of varied sound (noise bursts like syllables, gliding
// tones) or a dim moving picture with one white frame, and cuts of it that start at chosen points of the
// source, each encoded its own way, made with ffmpeg. A cut that starts `start` seconds into the source
// shows the source's moment u at u - start, so two cuts a and b lie (start a - start b) apart.
class AlignClips {
public:
    enum class Encoding {
        H264Aac,    // H.264 and AAC at 48 kHz in MP4
        Vp9Opus,    // VP9 and Opus in WebM
        Aac44k,     // the sound resampled to 44.1 kHz
        NoisyQuiet, // white noise at 10 dB below the sound, then the whole at -12 dB
        Silent,     // a sound track of silence
        NoSound,    // no sound track
        Faster,     // H.264 and AAC, picture and sound (pitch and all) played 25/24 as fast: the cut's second
                    // t shows the source's start + t * 25/24
        LateSound,  // H.264 and AAC, the sound's times put 10^7 s after the picture's, as a damaged file has
        SoundHole, // H.264 and AAC, the sound of the cut's [1 s, 1.5 s) lost, its times left as they were, as
                   // a broadcast recording that lost packets has
    };

    // `folder` is made when missing; files already there are kept.
    explicit AlignClips(const QString& folder) : folder_(folder) {}

    // `seconds` of source sound; `seed` varies its rhythm and tones. Empty on failure (error()).
    QString source(double seconds, int seed);
    // A dim moving picture, 30 fps, with one white frame at frame `flashFrame`, no sound.
    QString flashSource(double seconds, int flashFrame);
    // [start, start + length) of the source, a tiny picture (64x48, 10 fps), encoded as said.
    QString cut(const QString& source, const QString& name, double start, double length, Encoding encoding);
    // [start, start + length) of a flash source, H.264 (or VP9 when vp9), 30 fps.
    QString flashCut(const QString& source, const QString& name, double start, double length, bool vp9);
    // A 640x360 moving picture of `seconds` with the source's sound from `startFrame` / 24 s on, every frame
    // carrying its number in the source (startFrame + n) as a barcode (FrameBarcode): at 24 fps, or when
    // `faster` the same frames at 25 fps with the sound 25/24 as fast, as a film sped up for 25 fps video.
    QString barcodeCut(const QString& source, const QString& name, int startFrame, double seconds, bool faster);
    QString error() const { return error_; }
    // Where the file's time line starts, as ffprobe says (WebM's is 7 ms before zero, where the Opus
    // encoder's delay begins); a player counts a movie's time from there, so its content shows that much
    // later than the cut's own times. 0 when it cannot tell.
    static double startSeconds(const QString& path);

private:
    bool run(const QStringList& arguments, const QString& output);

    QString folder_;
    QString error_;
};

} // namespace tetrapan::test
