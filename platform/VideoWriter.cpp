#include "platform/VideoWriter.h"

#include "platform/AtomicWrite.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <system_error>

namespace platform {

namespace {

// The largest numerator or denominator of the frame rate's fraction: rates given to two
// or three decimals come out exact.
constexpr int kMaxRateTerm = 100000;
// Rates above this are no film anyone plays.
constexpr double kMaxFrameRate = 1000;

std::string errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::filesystem::path partPathOf(const std::filesystem::path& target)
{
    return target.parent_path() / ("." + target.filename().string() + ".part");
}

} // namespace

struct VideoWriter::State {
    std::filesystem::path target;
    std::filesystem::path part;
    int width = 0;
    int height = 0;
    long frames = 0;
    bool failed = false;
    bool finished = false;
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    SwsContext* scaler = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;

    ~State()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        sws_freeContext(scaler);
        avcodec_free_context(&codec);
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
        if (!finished) {
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
        }
    }

    // Sends a frame (or the end, for none) and writes every packet it gives back.
    std::optional<std::string> encode(const AVFrame* input)
    {
        int status = avcodec_send_frame(codec, input);
        if (status < 0)
            return errorText(status);
        while ((status = avcodec_receive_packet(codec, packet)) >= 0) {
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            status = av_interleaved_write_frame(format, packet);
            if (status < 0)
                return errorText(status);
            if (format->pb->error < 0)
                return errorText(format->pb->error);
        }
        if (status != AVERROR(EAGAIN) && status != AVERROR_EOF)
            return errorText(status);
        return std::nullopt;
    }
};

bool VideoWriter::isUsableFrameRate(double framesPerSecond)
{
    return std::isfinite(framesPerSecond) && framesPerSecond >= 1 && framesPerSecond <= kMaxFrameRate;
}

VideoWriter::VideoWriter(const std::filesystem::path& target, int width, int height, double framesPerSecond)
    : state_(std::make_unique<State>())
{
    if (!isUsableFrameRate(framesPerSecond))
        throw Error("cadence d'images inutilisable");
    if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0)
        throw Error("taille d'image impaire ou nulle");
    // The encoder's statistics are no business of the program's output.
    av_log_set_level(AV_LOG_ERROR);
    State& s = *state_;
    s.target = target;
    s.part = partPathOf(target);
    s.width = width;
    s.height = height;

    const AVCodec* encoder = avcodec_find_encoder_by_name("libx264");
    if (!encoder)
        throw Error("encodeur H.264 absent");
    if (avformat_alloc_output_context2(&s.format, nullptr, "mp4", s.part.c_str()) < 0 || !s.format)
        throw Error("conteneur MP4 indisponible");
    s.codec = avcodec_alloc_context3(encoder);
    s.stream = avformat_new_stream(s.format, nullptr);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.codec || !s.stream || !s.frame || !s.packet)
        throw Error(errorText(AVERROR(ENOMEM)));

    const AVRational rate = av_d2q(framesPerSecond, kMaxRateTerm);
    s.codec->width = width;
    s.codec->height = height;
    s.codec->pix_fmt = AV_PIX_FMT_YUV420P;
    s.codec->time_base = av_inv_q(rate);
    s.codec->framerate = rate;
    s.codec->color_primaries = AVCOL_PRI_BT709;
    s.codec->color_trc = AVCOL_TRC_BT709;
    s.codec->colorspace = AVCOL_SPC_BT709;
    s.codec->color_range = AVCOL_RANGE_MPEG;
    if (s.format->oformat->flags & AVFMT_GLOBALHEADER)
        s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int status = avcodec_open2(s.codec, encoder, nullptr); status < 0)
        throw Error("encodeur H.264 : " + errorText(status));
    if (const int status = avcodec_parameters_from_context(s.stream->codecpar, s.codec); status < 0)
        throw Error(errorText(status));
    s.stream->time_base = s.codec->time_base;
    s.stream->avg_frame_rate = rate;

    s.frame->format = AV_PIX_FMT_YUV420P;
    s.frame->width = width;
    s.frame->height = height;
    if (const int status = av_frame_get_buffer(s.frame, 0); status < 0)
        throw Error(errorText(status));
    s.scaler = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR,
        nullptr, nullptr, nullptr);
    if (!s.scaler)
        throw Error("conversion des couleurs indisponible");
    // The matrix the stream is tagged with: BT.709, RGB in full range to YUV in limited range.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(s.scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);

    if (const int status = avio_open(&s.format->pb, s.part.c_str(), AVIO_FLAG_WRITE); status < 0)
        throw Error(s.part.string() + " : " + errorText(status));
    if (const int status = avformat_write_header(s.format, nullptr); status < 0)
        throw Error(errorText(status));
}

VideoWriter::~VideoWriter() = default;

std::optional<std::string> VideoWriter::append(const Image& image)
{
    State& s = *state_;
    if (s.failed || s.finished)
        return std::string("film déjà terminé ou en échec");
    if (image.width != s.width || image.height != s.height
        || image.pixels.size() != std::size_t(s.width) * std::size_t(s.height) * 4) {
        s.failed = true;
        return std::string("image de taille inattendue");
    }
    if (const int status = av_frame_make_writable(s.frame); status < 0) {
        s.failed = true;
        return errorText(status);
    }
    const std::uint8_t* source[] = {reinterpret_cast<const std::uint8_t*>(image.pixels.data())};
    const int sourceStride[] = {s.width * 4};
    sws_scale(s.scaler, source, sourceStride, 0, s.height, s.frame->data, s.frame->linesize);
    s.frame->pts = s.frames;
    auto error = s.encode(s.frame);
    if (error) {
        s.failed = true;
        return error;
    }
    ++s.frames;
    return std::nullopt;
}

bool VideoWriter::finish()
{
    State& s = *state_;
    if (s.failed || s.finished)
        return false;
    s.failed = true;
    if (s.encode(nullptr))
        return false;
    if (av_write_trailer(s.format) < 0)
        return false;
    avio_flush(s.format->pb);
    if (s.format->pb->error < 0)
        return false;
    if (avio_closep(&s.format->pb) < 0)
        return false;
    try {
        flushFile(s.part);
        std::filesystem::rename(s.part, s.target);
        flushFolderOf(s.target);
    } catch (const std::filesystem::filesystem_error&) {
        return false;
    }
    s.failed = false;
    s.finished = true;
    return true;
}

int VideoWriter::width() const
{
    return state_->width;
}

int VideoWriter::height() const
{
    return state_->height;
}

long VideoWriter::frames() const
{
    return state_->frames;
}

const std::filesystem::path& VideoWriter::partPath() const
{
    return state_->part;
}

} // namespace platform
