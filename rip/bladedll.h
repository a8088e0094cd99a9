// Binding to the MP3 encoder library, libbladeenc.so, linked at load time. The program calls
// the encoder through a table of cells, held by its Rip::TEncoders, which hold the library's
// own functions; tests put scripted ones in their place to make the encoder fail where they
// choose.
#pragma once

#include "bladeenc.h"

namespace bladedll {

struct TBladeFunctions {
    BE_ERR(*InitStream)
    (PBE_CONFIG config, DWORD* samples, DWORD* bufferSize, HBE_STREAM* stream) = beInitStream;
    BE_ERR(*EncodeChunk)
    (HBE_STREAM stream, DWORD samples, const int16_t* input, uint8_t* output,
     DWORD* outputBytes) = beEncodeChunk;
    BE_ERR (*DeinitStream)(HBE_STREAM stream, uint8_t* output, DWORD* outputBytes) = beDeinitStream;
    BE_ERR (*CloseStream)(HBE_STREAM stream) = beCloseStream;
};

}  // namespace bladedll
