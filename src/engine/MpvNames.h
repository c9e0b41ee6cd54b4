#pragma once

// Every option, property and command name Tetrapan hands to mpv, so a rename in mpv is one edit here.
namespace tetrapan::mpvname {

// Options set before the core starts.
inline constexpr const char* Config = "config";
inline constexpr const char* LoadScripts = "load-scripts";
inline constexpr const char* InputDefaultBindings = "input-default-bindings";
inline constexpr const char* InputVoKeyboard = "input-vo-keyboard";
inline constexpr const char* Osc = "osc";
inline constexpr const char* OsdLevel = "osd-level";
inline constexpr const char* Terminal = "terminal";
inline constexpr const char* KeepOpen = "keep-open";
inline constexpr const char* Idle = "idle";
inline constexpr const char* AudioFallbackToNull = "audio-fallback-to-null";
inline constexpr const char* Hwdec = "hwdec";
inline constexpr const char* HwdecCurrent = "hwdec-current";
inline constexpr const char* VideoDecoder = "current-tracks/video/decoder-desc";
inline constexpr const char* HrSeek = "hr-seek";
inline constexpr const char* Vo = "vo";
inline constexpr const char* Ao = "ao";
inline constexpr const char* Ytdl = "ytdl";
inline constexpr const char* ResumePlayback = "resume-playback";
inline constexpr const char* SaveOnQuit = "save-position-on-quit";
inline constexpr const char* SubAuto = "sub-auto";
inline constexpr const char* AudioFileAuto = "audio-file-auto";
inline constexpr const char* CoverArtAuto = "cover-art-auto";
inline constexpr const char* LoadStatsOverlay = "load-stats-overlay";
inline constexpr const char* LoadConsole = "load-osd-console";
inline constexpr const char* LoadAutoProfiles = "load-auto-profiles";
inline constexpr const char* VideoTimingOffset = "video-timing-offset";
inline constexpr const char* VideoRotate = "video-rotate";
inline constexpr const char* DecoderThreads = "vd-lavc-threads";
inline constexpr const char* SwsAllowZimg = "sws-allow-zimg";
inline constexpr const char* SwsScaler = "sws-scaler";
inline constexpr const char* SwsFast = "sws-fast";
inline constexpr const char* ZimgScaler = "zimg-scaler";
inline constexpr const char* ZimgScalerChroma = "zimg-scaler-chroma";
inline constexpr const char* ZimgDither = "zimg-dither";
inline constexpr const char* ZimgFast = "zimg-fast";
inline constexpr const char* ZimgThreads = "zimg-threads";
inline constexpr const char* DemuxerMaxBackBytes = "demuxer-max-back-bytes";

// Option values.
inline constexpr const char* Yes = "yes";
inline constexpr const char* No = "no";
inline constexpr const char* Auto = "auto";
inline constexpr const char* AutoSafe = "auto-safe";
inline constexpr const char* VoRenderApi = "libmpv";
inline constexpr const char* SwsFastBilinear = "fast-bilinear";
inline constexpr const char* Bilinear = "bilinear";
inline constexpr const char* VoNull = "null";
inline constexpr const char* AoNull = "null";
// The sound outputs Tetrapan trusts, best first (soundOutputs). SDL is left out: four cores starting it at
// once crash or deadlock inside SDL.
inline constexpr const char* AoPipeWire = "pipewire";
inline constexpr const char* AoPulse = "pulse";
inline constexpr const char* AoAlsa = "alsa";
inline constexpr const char* LogLevelWarn = "warn";

// Properties read, written or observed while a file is open.
inline constexpr const char* Pause = "pause";
inline constexpr const char* EofReached = "eof-reached";
inline constexpr const char* VoConfigured = "vo-configured";
inline constexpr const char* TimePos = "time-pos";
inline constexpr const char* Speed = "speed";
inline constexpr const char* AudioPitchCorrection = "audio-pitch-correction";
inline constexpr const char* AudioPts = "audio-pts";
inline constexpr const char* Duration = "duration";
inline constexpr const char* ContainerFps = "container-fps";
inline constexpr const char* Mute = "mute";
inline constexpr const char* Volume = "volume";
// The sound track decoded: "auto" for the file's own, "no" for none.
inline constexpr const char* Aid = "aid";
inline constexpr const char* KeepAspect = "keepaspect";
// Zoom as a power of 2, and where the picture lies, in shares of its zoomed size.
inline constexpr const char* VideoZoom = "video-zoom";
inline constexpr const char* VideoPanX = "video-pan-x";
inline constexpr const char* VideoPanY = "video-pan-y";
// What the video output is given: the picture's size after its pixel aspect and the filters ("dw", "dh"),
// and the turn the output still gives it ("rotate", clockwise degrees).
inline constexpr const char* VideoOutParams = "video-out-params";
inline constexpr const char* OutputWidth = "dw";
inline constexpr const char* OutputHeight = "dh";
inline constexpr const char* OutputRotate = "rotate";
inline constexpr const char* Vid = "vid";
inline constexpr const char* LoopFile = "loop-file";
inline constexpr const char* LoopPlaylist = "loop-playlist";
inline constexpr const char* Title = "metadata/by-key/title";
inline constexpr const char* PlaylistCount = "playlist-count";
inline constexpr const char* TrackList = "track-list";
// Keys of each track in the track list.
inline constexpr const char* TrackType = "type";
inline constexpr const char* TrackId = "id";
inline constexpr const char* TrackImage = "image";
inline constexpr const char* TrackAlbumArt = "albumart";
inline constexpr const char* TrackTypeVideo = "video";
inline constexpr const char* TrackTypeAudio = "audio";
inline constexpr const char* VideoRotation = "current-tracks/video/demux-rotation";
inline constexpr const char* VideoFilters = "vf";
// Filters that turn pictures clockwise by 90, 180 and 270 degrees.
inline constexpr const char* TurnClockwise = "lavfi=[transpose=clock]";
inline constexpr const char* TurnHalfway = "lavfi=[hflip,vflip]";
inline constexpr const char* TurnCounterClockwise = "lavfi=[transpose=cclock]";
inline constexpr const char* FrameNumber = "estimated-frame-number";
inline constexpr const char* FrameDropCount = "frame-drop-count";
inline constexpr const char* DecoderFrameDropCount = "decoder-frame-drop-count";

// Commands.
inline constexpr const char* LoadFile = "loadfile";
inline constexpr const char* LoadReplace = "replace";
inline constexpr const char* Seek = "seek";
inline constexpr const char* SeekAbsoluteExact = "absolute+exact";
inline constexpr const char* SeekAbsoluteKeyframes = "absolute+keyframes";
inline constexpr const char* Stop = "stop";
inline constexpr const char* IdleActive = "idle-active";
inline constexpr const char* FrameStep = "frame-step";
inline constexpr const char* FrameBackStep = "frame-back-step";
// The picture on show handed back as pixels; "video": at the video's size, nothing drawn over it.
inline constexpr const char* ScreenshotRaw = "screenshot-raw";
inline constexpr const char* ScreenshotVideo = "video";

} // namespace tetrapan::mpvname
