#include "export/PictureColours.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <string_view>

namespace tetrapan::pictureColours {

namespace {

// libswscale's brightness, contrast and saturation left as they are
constexpr int NoBrightening = 0, WholeContrast = 1 << 16, WholeSaturation = 1 << 16;

int matrixOf(const AVFrame& frame)
{
    switch (frame.colorspace) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M:
        return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return frame.width >= 1280 || frame.height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool fullRange(const AVFrame& frame)
{
    if (frame.color_range == AVCOL_RANGE_JPEG)
        return true;
    // the formats of JPEG's full range say it by their names (yuvj420p)
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(AVPixelFormat(frame.format));
    return frame.color_range == AVCOL_RANGE_UNSPECIFIED && format && format->name &&
           std::string_view(format->name).starts_with("yuvj");
}

} // namespace

void readAsMade(SwsContext* scaler, const AVFrame& frame)
{
    const int* matrix = sws_getCoefficients(matrixOf(frame));
    const int range = fullRange(frame) ? 1 : 0;
    // Set once per scaler: setting them again works the conversion tables out afresh, at every frame.
    int* table = nullptr;
    int* toTable = nullptr;
    int setRange = -1, toRange = -1, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(scaler, &table, &setRange, &toTable, &toRange, &brightness, &contrast,
                                 &saturation) >= 0 &&
        table && std::equal(matrix, matrix + 4, table) && setRange == range && toRange == 1)
        return;
    // an RGB picture has no matrix, and libswscale leaves it as it is
    sws_setColorspaceDetails(scaler, matrix, range, sws_getCoefficients(SWS_CS_DEFAULT), 1, NoBrightening,
                             WholeContrast, WholeSaturation);
}

void writeBt709(SwsContext* scaler)
{
    sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             sws_getCoefficients(SWS_CS_ITU709), 0, NoBrightening, WholeContrast,
                             WholeSaturation);
}

void tagBt709(AVCodecContext* encoder)
{
    encoder->colorspace = AVCOL_SPC_BT709;
    encoder->color_primaries = AVCOL_PRI_BT709;
    encoder->color_trc = AVCOL_TRC_BT709;
    encoder->color_range = AVCOL_RANGE_MPEG;
}

} // namespace tetrapan::pictureColours
