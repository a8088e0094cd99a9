/*
 * libvorbisdll: Ogg Vorbis encoder and decoder library, C ABI, over libvorbisenc, libogg
 * and libvorbisfile. Loaded at run time (dlopen) by the program; every call below is
 * exported under its own name.
 *
 * Encoder input is always what an audio CD delivers: 16-bit signed samples, interleaved
 * stereo (left, right, left, ...), 44100 Hz. The configuration chooses the output: two
 * channels, or one made by mixing the two down ((L + R) / 2), in libvorbisenc's quality
 * (VBR) mode. The file is one Ogg logical stream holding one Vorbis stream whose comment
 * header carries the track information (see VbTrackInfo). Decoding it gives back exactly
 * as many samples per channel as were written.
 *
 * An encoder stream's life:
 *
 *     vbEncOpen   -> handle, samples per chunk, output buffer size
 *     vbEncWrite  -> repeated; each call hands out 0 or more bytes of the Ogg stream (the
 *                    headers come with the first call)
 *     vbEncClose  -> the last bytes (end of stream); frees the handle
 *
 * Every byte handed out is to be written to the file in call order. vbEncClose is the only
 * call that ends an encoder stream and it frees the stream whatever its result; call it
 * after a failure too (with null output pointers to drop the ending).
 *
 * Handles: opaque numbers, never 0, counted up and not reused (a number comes round again
 * only after 2^32 - 1 handles, and never while it is live), so a stale or made-up handle is
 * detected (VB_ERR_INVALID_HANDLE) and nothing is dereferenced.
 * Encoder and decoder handles come from one pool of at most VB_MAX_HANDLES live handles;
 * an encoder handle given to a decoder call (or the other way round) is an invalid handle.
 *
 * Memory: the library never takes ownership of a caller's buffer or text and never hands out
 * memory the caller must free. Texts are read during vbEncOpen only. Handles still open when
 * the library is unloaded are released then.
 *
 * Threads: calls on different handles may run at the same time on different threads;
 * calls on one handle must not overlap.
 *
 * Results: every call returns VB_OK (0) or one of the VB_ERR_ codes below.
 */
#ifndef VORBISDLL_H
#define VORBISDLL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VORBISDLL_API __attribute__((visibility("default")))

typedef uint32_t VbHandle;
typedef uint32_t VbResult;

#define VB_OK 0
#define VB_ERR_INVALID_ARGUMENT                                 \
    1 /* a null pointer, an odd sample count, more samples than \
         a chunk, a seek beyond the end */
#define VB_ERR_CONFIG_SIZE                                                                 \
    2                            /* VbEncConfig: dwKind is not VB_CONFIG_KIND or dwSize is \
                                    not VB_ENC_CONFIG_SIZE */
#define VB_ERR_CONFIG_FORMAT 3   /* VbEncConfig: channels not 1 or 2, sample rate not 44100 */
#define VB_ERR_QUALITY 4         /* VbEncConfig: quality outside -0.1 .. 1.0, or not a number */
#define VB_ERR_TRACKINFO_SIZE 5  /* VbTrackInfo: dwSize is not sizeof(VbTrackInfo) */
#define VB_ERR_INVALID_HANDLE 6  /* 0, unknown or closed handle, or one of the other kind */
#define VB_ERR_NO_MORE_HANDLES 7 /* VB_MAX_HANDLES handles open, or no memory */
#define VB_ERR_ENCODER 8         /* libvorbisenc or libogg refused; close the stream */
#define VB_ERR_OUTPUT_OVERFLOW                                                      \
    9                       /* vbEncClose: the ending did not fit the output buffer \
                               (cannot happen with the size vbEncOpen reports) */
#define VB_ERR_FILE_OPEN 10 /* vbDecOpen: the file cannot be opened */
#define VB_ERR_NOT_VORBIS                                                            \
    11                   /* vbDecOpen: not an Ogg Vorbis file, a damaged one, or one \
                            whose streams change channels or sample rate */
#define VB_ERR_DECODE 12 /* vbDecRead: the data is damaged beyond recovery */
#define VB_ERR_SEEK 13   /* vbDecSeek: the file cannot be positioned */

#define VB_MAX_HANDLES 64

/*
 * Encoder configuration, VB_ENC_CONFIG_SIZE (260) bytes, little-endian:
 *
 *   offset  width  field
 *        0  u32    dwKind        VB_CONFIG_KIND (1024): a quality-mode (VBR) configuration
 *        4  u32    dwFlags       0; no flag is defined, the library ignores it
 *        8  u32    dwSize        VB_ENC_CONFIG_SIZE, the record's own size
 *       12  u32    dwChannels    output channels: 2, or 1 for the downmix (L + R) / 2
 *       16  u32    dwSampleRate  44100 (the input's rate; no other rate is accepted)
 *       20  16     reserved1     ignored
 *       36  float  fQuality      libvorbisenc's VBR quality, -0.1 (smallest) to 1.0 (best),
 *                                used as it is: 0.4 gives about 128 kbit/s, 0.6 about 192
 *       40  220    reserved2     ignored
 */
#define VB_CONFIG_KIND 1024
#define VB_ENC_CONFIG_SIZE 260

typedef struct VbEncConfig {
    uint32_t dwKind;
    uint32_t dwFlags;
    uint32_t dwSize;
    uint32_t dwChannels;
    uint32_t dwSampleRate;
    uint8_t reserved1[16];
    float fQuality;
    uint8_t reserved2[220];
} VbEncConfig;

/*
 * Track information, written into the Vorbis comment header. The fields keep the order of
 * the 14 words of the 32-bit record; the eight text fields are native pointers, so on
 * x86_64 the record has 88 bytes: offsets 0 dwSize, 4..16 the four reserved words,
 * 20..23 alignment padding, 24 pszArtist, 32 pszAlbum, 40 pszTitle, 48 pszEncoder,
 * 56 dwTrackNumber, 60 dwTrackCount, 64 pszGenre, 72 pszComment, 80 pszDate.
 * dwSize must hold sizeof(VbTrackInfo).
 *
 * Each text becomes one comment: ARTIST, ALBUM, TITLE, ENCODER, GENRE, COMMENT, DATE.
 * Texts are 8-bit and zero-terminated: valid UTF-8 is kept as it is, anything else is read
 * as Latin-1 and converted to UTF-8. A null or empty text gives no comment. The numbers
 * give TRACKNUMBER and TRACKTOTAL in decimal; 0 gives no comment.
 */
typedef struct VbTrackInfo {
    uint32_t dwSize;
    uint32_t dwReserved1; /* the program writes 1, 1, 44, 1; ignored */
    uint32_t dwReserved2;
    uint32_t dwReserved3;
    uint32_t dwReserved4;
    const char* pszArtist;
    const char* pszAlbum;
    const char* pszTitle;
    const char* pszEncoder;
    uint32_t dwTrackNumber;
    uint32_t dwTrackCount;
    const char* pszGenre;
    const char* pszComment;
    const char* pszDate;
} VbTrackInfo;

/*
 * Version record, packed, VB_VERSION_INFO_SIZE (265) bytes:
 *   0 u8 byMajor, 1 u8 byMinor              this library's version
 *   2 u8 byEngineMajor, 3 u8 byEngineMinor  libvorbis's version (its patch level is in
 *                                           szEngine only)
 *   4 u8 byDay, 5 u8 byMonth, 6 u16 wYear   this library's release date
 *   8 char szEngine[128]                    libvorbis's version text, zero-terminated,
 *                                           e.g. "Xiph.Org libVorbis 1.3.7"
 *   136 u8 reserved[129]                    zero
 */
#define VB_VERSION_INFO_SIZE 265

#pragma pack(push, 1)
typedef struct VbVersionInfo {
    uint8_t byMajor;
    uint8_t byMinor;
    uint8_t byEngineMajor;
    uint8_t byEngineMinor;
    uint8_t byDay;
    uint8_t byMonth;
    uint16_t wYear;
    char szEngine[128];
    uint8_t reserved[129];
} VbVersionInfo;
#pragma pack(pop)

/*
 * Opens an encoder stream with the configuration and track information. On success sets
 *   *samplesPerChunk  the most 16-bit samples (both channels counted) one vbEncWrite takes;
 *                     even; use the value returned, it is not fixed;
 *   *outBufferSize    the output buffer size in bytes that always holds what one
 *                     vbEncWrite or vbEncClose hands out;
 *   *handle           the encoder handle.
 * On failure the outputs are left alone.
 * Results: VB_OK, VB_ERR_INVALID_ARGUMENT (null pointer), VB_ERR_CONFIG_SIZE,
 * VB_ERR_CONFIG_FORMAT, VB_ERR_QUALITY, VB_ERR_TRACKINFO_SIZE, VB_ERR_NO_MORE_HANDLES,
 * VB_ERR_ENCODER.
 */
VORBISDLL_API VbResult vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info,
                                 uint32_t* samplesPerChunk, uint32_t* outBufferSize,
                                 VbHandle* handle);

/*
 * Encodes nSamples 16-bit samples (both channels counted, interleaved stereo) and places the
 * Ogg bytes that are ready in output (room for outBufferSize), their count in *outputBytes;
 * the count may be 0, as the encoder works a block behind. nSamples may be 0 or less than a
 * chunk (a short last chunk); it must be even and at most samplesPerChunk. samples may be
 * null when nSamples is 0.
 * Results: VB_OK, VB_ERR_INVALID_ARGUMENT, VB_ERR_INVALID_HANDLE, VB_ERR_ENCODER.
 * *outputBytes is set to 0 on every failure where it is not null.
 */
VORBISDLL_API VbResult vbEncWrite(VbHandle handle, uint32_t nSamples, const int16_t* samples,
                                  uint8_t* output, uint32_t* outputBytes);

/*
 * Ends the stream: encodes what is held back, marks the end of the stream and places the
 * last bytes in output (room for outBufferSize), their count in *outputBytes. A stream
 * closed without any samples is a valid Ogg Vorbis file of length 0. Frees the handle on
 * every path where the handle is valid, whatever the result. With output and outputBytes
 * both null the stream is dropped without an ending (after a failure) and VB_OK returned.
 * Results: VB_OK, VB_ERR_INVALID_ARGUMENT (only one of the two pointers null; the stream is
 * freed), VB_ERR_INVALID_HANDLE, VB_ERR_ENCODER, VB_ERR_OUTPUT_OVERFLOW.
 */
VORBISDLL_API VbResult vbEncClose(VbHandle handle, uint8_t* output, uint32_t* outputBytes);

/* Fills *info (all 265 bytes). Results: VB_OK, VB_ERR_INVALID_ARGUMENT (null). */
VORBISDLL_API VbResult vbVersion(VbVersionInfo* info);

/*
 * Decoder information, filled by vbDecOpen. The caller sets dwSize to sizeof(VbDecInfo)
 * (VB_DEC_INFO_SIZE, 32 bytes: offsets 0 dwSize, 4 dwChannels, 8 dwSampleRate,
 * 12 lBitrateNominal, 16 qwFrames, 24 lBitrateUpper, 28 lBitrateLower).
 *   dwChannels       1 or 2 (files with more channels are refused: VB_ERR_NOT_VORBIS)
 *   dwSampleRate     Hz
 *   lBitrate...      the stream header's nominal, upper and lower bit rates in bit/s,
 *                    0 when unset
 *   qwFrames         the length in samples per channel
 */
#define VB_DEC_INFO_SIZE 32

typedef struct VbDecInfo {
    uint32_t dwSize;
    uint32_t dwChannels;
    uint32_t dwSampleRate;
    int32_t lBitrateNominal;
    uint64_t qwFrames;
    int32_t lBitrateUpper;
    int32_t lBitrateLower;
} VbDecInfo;

/*
 * Opens the Ogg Vorbis file at path (a file system path, UTF-8) for decoding and fills *info.
 * A file of several chained streams is decoded as one if they agree in channels and rate.
 * Results: VB_OK, VB_ERR_INVALID_ARGUMENT (null pointer, or info->dwSize not
 * VB_DEC_INFO_SIZE), VB_ERR_FILE_OPEN, VB_ERR_NOT_VORBIS, VB_ERR_NO_MORE_HANDLES.
 */
VORBISDLL_API VbResult vbDecOpen(const char* path, VbDecInfo* info, VbHandle* handle);

/*
 * Decodes up to maxSamples 16-bit samples (all channels counted, interleaved, native byte
 * order) into out, whole sample frames only, and sets *samplesRead. Fills out as far as the
 * stream allows: fewer samples than asked only at the end, and 0 at the end.
 * Results: VB_OK, VB_ERR_INVALID_ARGUMENT (null pointer, or maxSamples less than one
 * frame), VB_ERR_INVALID_HANDLE, VB_ERR_DECODE.
 */
VORBISDLL_API VbResult vbDecRead(VbHandle handle, int16_t* out, uint32_t maxSamples,
                                 uint32_t* samplesRead);

/*
 * Moves the decoder to sample frame `frame` (samples per channel from the start; the
 * length qwFrames is allowed and means the end), exactly to the sample.
 * Results: VB_OK, VB_ERR_INVALID_ARGUMENT (beyond the end), VB_ERR_INVALID_HANDLE,
 * VB_ERR_SEEK.
 */
VORBISDLL_API VbResult vbDecSeek(VbHandle handle, uint64_t frame);

/* Closes the file and frees the handle. Results: VB_OK, VB_ERR_INVALID_HANDLE. */
VORBISDLL_API VbResult vbDecClose(VbHandle handle);

#ifdef __cplusplus
}
#endif

#endif /* VORBISDLL_H */
