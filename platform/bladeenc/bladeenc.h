/*
 * libbladeenc: MP3 encoder library, C ABI, over LAME.
 *
 * Input is always what an audio CD delivers: 16-bit signed little-endian samples,
 * interleaved stereo (left, right, left, ...), 44100 Hz. The configuration chooses the
 * output: stereo, or mono made by mixing the two channels down ((L + R) / 2), at a constant
 * bit rate. The stream is MPEG-1 Layer III frames and nothing else: no ID3v1, ID3v2 or APE
 * tag and no Xing/Info/LAME header frame, so a decoder sees the encoder's delay (576
 * samples) and the padding of the last frame as a short silence at the ends.
 *
 * A stream's life:
 *
 *     beInitStream   -> handle, samples per chunk, output buffer size
 *     beEncodeChunk  -> repeated; each call hands out 0 or more bytes of MP3 data
 *     beDeinitStream -> the flush: the last frames
 *     beCloseStream  -> frees the stream (also without beDeinitStream)
 *
 * Every byte handed out is to be written to the file in call order.
 *
 * Handles: opaque numbers, never 0, counted up and not reused (a number comes round again
 * only after 2^32 - 1 streams, and never while it is live), so a stale or made-up handle is
 * detected (BE_ERR_INVALID_HANDLE) and nothing is dereferenced.
 * At most BE_MAX_STREAMS streams are open at a time.
 *
 * Memory: the library never takes ownership of a caller's buffer and never hands out
 * memory the caller must free. All memory of a stream is released by beCloseStream, on
 * every path; streams still open when the library is unloaded are released then.
 *
 * Threads: calls on different streams may run at the same time on different threads;
 * calls on one stream must not overlap.
 */
#ifndef BLADEENC_H
#define BLADEENC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BLADEENC_API __attribute__((visibility("default")))

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t BOOL;

/* Result of every call but beVersion. */
typedef uint32_t BE_ERR;
typedef uint32_t HBE_STREAM;

#define BE_ERR_SUCCESSFUL 0
#define BE_ERR_INVALID_FORMAT 1 /* dwConfig is not BE_CONFIG_MP3 */
#define BE_ERR_INVALID_FORMAT_PARAMETERS                                            \
    2                            /* a bad sample rate, mode, bit rate, sample count \
                                    or a null pointer argument */
#define BE_ERR_NO_MORE_HANDLES 3 /* BE_MAX_STREAMS streams open, or no memory */
#define BE_ERR_INVALID_HANDLE                                                                \
    4                           /* 0, unknown or closed handle, or a call the stream's state \
                                   does not allow (encoding after beDeinitStream) */
#define BE_ERR_ENCODER_FAILED 5 /* LAME refused the audio; the stream cannot go on, close it */

#define BE_MAX_STREAMS 64

/* dwConfig values. */
#define BE_CONFIG_MP3 0

/* byMode values. */
#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1 /* joint stereo: LAME chooses mid/side per frame */
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3

/*
 * The configuration record, packed to 1 byte, BE_CONFIG_SIZE bytes:
 *
 *   offset  width  field
 *        0  u32    dwConfig      BE_CONFIG_MP3 (0); anything else: BE_ERR_INVALID_FORMAT
 *        4  u32    dwSampleRate  output sample rate; only 44100 (the input's rate)
 *        8  u8     byMode        BE_MP3_MODE_...: 0 stereo, 1 joint stereo, 2 dual channel,
 *                                3 mono (a downmix (L + R) / 2 encoded as one channel)
 *        9  u16    wBitrate      kbit/s, constant: 32 40 48 56 64 80 96 112 128 160 192 224
 *                                256 320 (the MPEG-1 Layer III rates)
 *       11  BOOL   bPrivate      the frame headers' private bit
 *       15  BOOL   bCRC          a CRC-16 in every frame (protection bit cleared)
 *       19  BOOL   bCopyright    the frame headers' copyright bit
 *       23  BOOL   bOriginal     the frame headers' original bit
 *       27  ...    room for other variants of the record, up to BE_CONFIG_SIZE
 *
 * BOOLs are 32-bit; any non-zero value is true. The library reads bytes 0 to 26 only, so a
 * caller may pass a record of any size from 27 bytes on. The frames' mode field is the
 * configured mode; joint stereo frames choose mid/side coding frame by frame.
 */
#pragma pack(push, 1)
typedef struct BE_CONFIG_MP3_PARAMS {
    DWORD dwSampleRate;
    BYTE byMode;
    WORD wBitrate;
    BOOL bPrivate;
    BOOL bCRC;
    BOOL bCopyright;
    BOOL bOriginal;
} BE_CONFIG_MP3_PARAMS;

#define BE_CONFIG_SIZE 260

typedef struct BE_CONFIG {
    DWORD dwConfig;
    union {
        BE_CONFIG_MP3_PARAMS mp3;
        BYTE reserved[BE_CONFIG_SIZE - 4];
    } format;
} BE_CONFIG, *PBE_CONFIG;
#pragma pack(pop)

/*
 * Opens an encoder stream for *pbeConfig.
 *
 * On success sets:
 *   *dwSamples     samples per chunk: the most 16-bit samples (both channels counted) that
 *                  one beEncodeChunk takes. Always an even number; use the value returned,
 *                  it is not fixed.
 *   *dwBufferSize  the output buffer size in bytes that always holds what one
 *                  beEncodeChunk (of up to *dwSamples samples) or beDeinitStream hands out.
 *   *phbeStream    the new stream's handle.
 * On failure the three outputs are left alone.
 *
 * Results: BE_ERR_SUCCESSFUL; BE_ERR_INVALID_FORMAT (dwConfig); BE_ERR_INVALID_FORMAT_PARAMETERS
 * (sample rate, mode, bit rate, or a null pointer); BE_ERR_NO_MORE_HANDLES.
 */
BLADEENC_API BE_ERR beInitStream(PBE_CONFIG pbeConfig, DWORD* dwSamples, DWORD* dwBufferSize,
                                 HBE_STREAM* phbeStream);

/*
 * Encodes nSamples 16-bit samples (both channels counted; left and right interleaved) from
 * pSamples and places the MP3 bytes that are ready in pOutput (room for the dwBufferSize of
 * beInitStream), their count in *pdwOutput. The count may be 0: LAME holds back audio until
 * whole frames are ready. nSamples may be less than the chunk size (a short last chunk) and
 * may be 0; it must be even and at most the chunk size.
 *
 * Results: BE_ERR_SUCCESSFUL; BE_ERR_INVALID_FORMAT_PARAMETERS (odd or too many samples, null
 * pointer); BE_ERR_INVALID_HANDLE (also after beDeinitStream); BE_ERR_ENCODER_FAILED.
 * *pdwOutput is set to 0 on every failure where it is not null.
 */
BLADEENC_API BE_ERR beEncodeChunk(HBE_STREAM hbeStream, DWORD nSamples, const int16_t* pSamples,
                                  uint8_t* pOutput, DWORD* pdwOutput);

/*
 * Ends the stream: encodes what LAME holds back, pads the last frame and places those last
 * bytes in pOutput (room for dwBufferSize), their count in *pdwOutput. After it the stream
 * takes no more audio; only beCloseStream is allowed.
 *
 * Results: BE_ERR_SUCCESSFUL; BE_ERR_INVALID_FORMAT_PARAMETERS (null pointer);
 * BE_ERR_INVALID_HANDLE (also a second call); BE_ERR_ENCODER_FAILED.
 */
BLADEENC_API BE_ERR beDeinitStream(HBE_STREAM hbeStream, uint8_t* pOutput, DWORD* pdwOutput);

/*
 * Frees the stream and its handle, whatever state it is in (beDeinitStream not called,
 * or after a failure). Results: BE_ERR_SUCCESSFUL; BE_ERR_INVALID_HANDLE.
 */
BLADEENC_API BE_ERR beCloseStream(HBE_STREAM hbeStream);

/*
 * Version record, packed, BE_VERSION_SIZE bytes:
 *   0 u8 byDLLMajorVersion, 1 u8 byDLLMinorVersion    this library
 *   2 u8 byMajorVersion, 3 u8 byMinorVersion          the engine (LAME's version)
 *   4 u8 byDay, 5 u8 byMonth, 6 u16 wYear             this library's release date
 *   8 char zEngine[128]                               LAME's version text, zero-terminated
 */
#define BE_VERSION_SIZE 136

#pragma pack(push, 1)
typedef struct BE_VERSION {
    BYTE byDLLMajorVersion;
    BYTE byDLLMinorVersion;
    BYTE byMajorVersion;
    BYTE byMinorVersion;
    BYTE byDay;
    BYTE byMonth;
    WORD wYear;
    char zEngine[128];
} BE_VERSION, *PBE_VERSION;
#pragma pack(pop)

/* Fills *pbeVersion; a null pointer does nothing. */
BLADEENC_API void beVersion(PBE_VERSION pbeVersion);

#ifdef __cplusplus
}
#endif

#endif /* BLADEENC_H */
