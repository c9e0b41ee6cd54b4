#pragma once

struct AVCodecContext;
struct AVFrame;
struct SwsContext;

namespace tetrapan::pictureColours {

// A picture is turned into RGB with the colours it was made with, and the export is written in BT.709 and
// says so, as players take any picture of HD size that says nothing. Read or written with the wrong matrix,
// a picture shows its greens and reds off: an SD movie's pane beside an HD one's, a whole export at an SD
// size.

// Sets the scaler to turn the frame's colours into full-range RGB: by the matrix and range the frame
// names, or, where it names none, as players guess (BT.709 from 1280 wide or more than 576 high).
void readAsMade(SwsContext* scaler, const AVFrame& frame);

// Sets the scaler to turn full-range RGB into BT.709 at the video range, and tags the encoder so (before
// it is opened: its first headers carry the tags).
void writeBt709(SwsContext* scaler);
void tagBt709(AVCodecContext* encoder);

} // namespace tetrapan::pictureColours
