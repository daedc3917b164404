#include "EncoderSizeRules.h"

#include "AVCodecHlpr.h"
#include "AVUtilHlpr.h"

#include <algorithm>
#include <cctype>
#include <iterator>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

constexpr int kH263Sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};

// Measured against the encoders of the libraries: what each refuses to open with.
constexpr EncoderSizeRule kRules[] = {
    {AV_CODEC_ID_H263, 1, 1, kH263Sizes, static_cast<int>(std::size(kH263Sizes))},
    {AV_CODEC_ID_H263P, 4, 4, nullptr, 0},
    {AV_CODEC_ID_RV10, 16, 16, nullptr, 0},
    {AV_CODEC_ID_RV20, 4, 4, nullptr, 0},
};

// The width and height multiples that `format`'s chroma subsampling needs.
void subsamplingMultiples(AVPixelFormat format, int& widthMultiple, int& heightMultiple) {
    widthMultiple = heightMultiple = 1;
    const AVPixFmtDescriptor* desc = lavu.av_pix_fmt_desc_get(format);
    if (!desc)
        return;
    widthMultiple = 1 << desc->log2_chroma_w;
    heightMultiple = 1 << desc->log2_chroma_h;
}

void multiplesOf(AVCodecID codec, AVPixelFormat format, int& widthMultiple, int& heightMultiple) {
    subsamplingMultiples(format, widthMultiple, heightMultiple);
    if (const EncoderSizeRule* rule = FindEncoderSizeRule(codec)) {
        widthMultiple = std::max(widthMultiple, rule->WidthMultiple);
        heightMultiple = std::max(heightMultiple, rule->HeightMultiple);
    }
}

std::string sizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

const EncoderSizeRule* FindEncoderSizeRule(AVCodecID codec) {
    for (const EncoderSizeRule& rule : kRules)
        if (rule.Codec == codec)
            return &rule;
    return nullptr;
}

std::string CodecDisplayName(AVCodecID codec) {
    const char* name = lavc.avcodec_get_name ? lavc.avcodec_get_name(codec) : nullptr;
    std::string text = name ? name : "unknown";
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void FitEncoderSize(AVCodecID codec, AVPixelFormat format, int& width, int& height) {
    const EncoderSizeRule* rule = FindEncoderSizeRule(codec);
    if (rule && rule->FixedSizes) {
        int chosen = 0;
        for (int i = 0; i < rule->FixedSizeCount; ++i)
            if (rule->FixedSizes[i][0] <= width && rule->FixedSizes[i][1] <= height)
                chosen = i;
        width = rule->FixedSizes[chosen][0];
        height = rule->FixedSizes[chosen][1];
        return;
    }
    int widthMultiple = 1, heightMultiple = 1;
    multiplesOf(codec, format, widthMultiple, heightMultiple);
    // Never below one block: a tiny picture is scaled up to it.
    width = std::max(widthMultiple, width / widthMultiple * widthMultiple);
    height = std::max(heightMultiple, height / heightMultiple * heightMultiple);
}

std::string EncoderSizeProblem(AVCodecID codec, AVPixelFormat format, int width, int height) {
    const EncoderSizeRule* rule = FindEncoderSizeRule(codec);
    if (rule && rule->FixedSizes) {
        std::string list;
        for (int i = 0; i < rule->FixedSizeCount; ++i) {
            if (rule->FixedSizes[i][0] == width && rule->FixedSizes[i][1] == height)
                return {};
            list += (i == 0                          ? ""
                     : i + 1 == rule->FixedSizeCount ? " and "
                                                     : ", ") +
                    sizeText(rule->FixedSizes[i][0], rule->FixedSizes[i][1]);
        }
        return CodecDisplayName(codec) + " cannot encode " + sizeText(width, height) +
               "; it accepts " + list;
    }
    int widthMultiple = 1, heightMultiple = 1;
    multiplesOf(codec, format, widthMultiple, heightMultiple);
    if (width % widthMultiple == 0 && height % heightMultiple == 0)
        return {};
    return CodecDisplayName(codec) + " cannot encode " + sizeText(width, height) +
           "; it needs a width that is a multiple of " + std::to_string(widthMultiple) +
           " and a height that is a multiple of " + std::to_string(heightMultiple);
}
