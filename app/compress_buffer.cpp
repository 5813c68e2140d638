#include "app/compress_buffer.h"

#include <zlib.h>

int CompressBuffer(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t* dstLength) {
    z_stream stream{};
    int status = deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    if (status != Z_OK) return status;
    stream.next_in = const_cast<Bytef*>(src);
    stream.avail_in = srcLength;
    bool restarted = false;
    for (;;) {
        stream.next_out = dst;
        stream.avail_out = *dstLength;
        status = deflate(&stream, Z_FINISH);
        if (status == Z_STREAM_END) break;
        if (status != Z_OK) {
            deflateEnd(&stream);
            return status;
        }
        if (stream.avail_out != 0) break;
        restarted = true;
    }
    *dstLength = uint32_t(stream.total_out);
    status = deflateEnd(&stream);
    if (status != Z_OK) return status;
    return restarted ? Z_BUF_ERROR : Z_OK;
}
