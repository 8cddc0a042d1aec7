// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

struct AVCodecParameters;

namespace video {

// What a kept video needs to be decoded or remuxed again later: the codec,
// the picture size and the codec's extra data (its parameter sets, empty
// when they come in the stream itself), as the bytes the rewind store keeps
// beside the packets (RewindStore::Part::Kind::VideoConfig).
struct KeptConfig {
    QString codec;  // FFmpeg's codec name: "h264", "hevc"
    int width = 0, height = 0;
    QByteArray extradata;

    // Fills par (from avcodec_parameters_alloc) for a decoder or a muxer's
    // stream; false for a codec this build does not know.
    bool apply(AVCodecParameters* par) const;
};

// The bytes for a stream's parameters; empty for a stream that is no video.
QByteArray encodeKeptConfig(const AVCodecParameters& par);
// The configuration those bytes hold; none for bytes that are not one
// (cut short, another kind, sizes out of bounds).
std::optional<KeptConfig> decodeKeptConfig(const QByteArray& bytes);

// Whether an Annex B packet of codec ("h264", "hevc") begins a picture that
// decodes alone: an IDR or other random-access picture, or one that brings
// its parameter sets. Some containers (a transport stream read without its
// parser) flag no key frames; the packet's own units tell.
bool startsKeyFrame(const QString& codec, const std::uint8_t* data, int size);

}  // namespace video
