// Ogg Vorbis encoding of the music through libvorbisenc, with a fixed stream
// serial so that the same samples always give the same file.
#include "gen_assets.h"

#include <cstdio>
#include <vorbis/vorbisenc.h>

namespace {

bool writePage(FILE* f, const ogg_page& page) {
    return std::fwrite(page.header, 1, size_t(page.header_len), f) == size_t(page.header_len) &&
           std::fwrite(page.body, 1, size_t(page.body_len), f) == size_t(page.body_len);
}

} // namespace

bool writeOggVorbis(const std::string& path, const StereoBuffer& samples) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    vorbis_info info;
    vorbis_info_init(&info);
    // Quality 0.3 is about 112 kbit/s: clean for this material at a modest size.
    if (vorbis_encode_init_vbr(&info, 2, kSampleRate, 0.3f) != 0) {
        std::fclose(f);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "marrowby");
    vorbis_comment_add_tag(&comment, "COMMENT", "seamless loop, synthesised by gen-assets");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x6d617272); // "marr"
    bool ok = true;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    // The headers get pages of their own, so that audio starts on a fresh page.
    while (ogg_stream_flush(&stream, &page) != 0) {
        ok = ok && writePage(f, page);
    }
    const long frames = long(samples.size() / 2);
    const long chunk = 1024;
    bool ended = false;
    for (long start = 0; !ended;) {
        const long n = std::min(chunk, frames - start);
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            for (long i = 0; i < n; ++i) {
                buffer[0][i] = samples[2 * (start + i)];
                buffer[1][i] = samples[2 * (start + i) + 1];
            }
            vorbis_analysis_wrote(&dsp, int(n));
            start += n;
        } else {
            vorbis_analysis_wrote(&dsp, 0); // end of stream
            ended = true;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    ok = ok && writePage(f, page);
                }
            }
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0) {
        ok = ok && writePage(f, page);
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::fclose(f) == 0 && ok;
}
