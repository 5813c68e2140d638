// One-shot zlib compression (level 6, zlib stream with header and Adler-32
// trailer) into a buffer of the caller's capacity.
#pragma once

#include <cstdint>

// Compresses srcLength bytes of src into dst of *dstLength bytes; on return
// *dstLength holds the bytes the stream produced over every pass. 0 (Z_OK)
// on success; -5 (Z_BUF_ERROR) when the output filled the buffer and was
// started again at its beginning (the count then exceeds the capacity and
// dst holds only the last pass); else zlib's error.
int CompressBuffer(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t* dstLength);
