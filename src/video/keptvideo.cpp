// SPDX-License-Identifier: GPL-3.0-or-later
#include "keptvideo.h"

#include "videoframe.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QDataStream>
#include <QIODevice>

#include <cstring>

namespace video {
namespace {
constexpr quint32 kMagic = 0x5a564331;  // "ZVC1"
constexpr int kMaxNameBytes = 64;
constexpr int kMaxExtradata = 1 << 20;
}  // namespace

QByteArray encodeKeptConfig(const AVCodecParameters& par) {
    if (par.codec_type != AVMEDIA_TYPE_VIDEO) return {};
    const char* name = avcodec_get_name(par.codec_id);
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    const int extra = par.extradata && par.extradata_size > 0 ? par.extradata_size : 0;
    s << kMagic << QByteArray(name) << qint32(par.width) << qint32(par.height)
      << QByteArray(reinterpret_cast<const char*>(par.extradata), extra);
    return out;
}

std::optional<KeptConfig> decodeKeptConfig(const QByteArray& bytes) {
    QDataStream s(bytes);
    s.setByteOrder(QDataStream::LittleEndian);
    quint32 magic = 0;
    s >> magic;
    if (magic != kMagic) return std::nullopt;
    // QDataStream reads a byte array's length first: refuse long ones before
    // they are read (the bytes themselves bound what can be read anyway).
    QByteArray name, extra;
    qint32 width = 0, height = 0;
    s >> name >> width >> height >> extra;
    if (s.status() != QDataStream::Ok || name.isEmpty() || name.size() > kMaxNameBytes ||
        extra.size() > kMaxExtradata)
        return std::nullopt;
    if ((width || height) && !sizeAllowed(width, height)) return std::nullopt;
    return KeptConfig{QString::fromLatin1(name), width, height, extra};
}

bool KeptConfig::apply(AVCodecParameters* par) const {
    const AVCodecDescriptor* d = avcodec_descriptor_get_by_name(codec.toLatin1().constData());
    if (!d || d->type != AVMEDIA_TYPE_VIDEO) return false;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = d->id;
    par->width = width;
    par->height = height;
    av_freep(&par->extradata);
    par->extradata_size = 0;
    if (!extradata.isEmpty()) {
        par->extradata = static_cast<std::uint8_t*>(
            av_mallocz(static_cast<size_t>(extradata.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) return false;
        std::memcpy(par->extradata, extradata.constData(), static_cast<size_t>(extradata.size()));
        par->extradata_size = static_cast<int>(extradata.size());
    }
    return true;
}

bool startsKeyFrame(const QString& codec, const std::uint8_t* data, int size) {
    const bool hevc = codec == QLatin1String("hevc");
    if (!hevc && codec != QLatin1String("h264")) return false;
    // Every unit after a start code 00 00 01.
    for (int i = 0; i + 3 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        const std::uint8_t head = data[i + 3];
        if (hevc) {
            const int type = (head >> 1) & 0x3f;
            if ((type >= 16 && type <= 23) || type == 32 || type == 33) return true;
        } else {
            const int type = head & 0x1f;
            if (type == 5 || type == 7) return true;
        }
        i += 2;
    }
    return false;
}

}  // namespace video
