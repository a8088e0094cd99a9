/* A Vorbis library that lacks most of its entry points: only the version and the opening
 * of an encoder stream. The binding must leave the other cells empty and never call them. */
#include "libvorbisdll.h"

VORBISDLL_API VbResult vbVersion(VbVersionInfo* info) {
    if (!info) return VB_ERR_INVALID_ARGUMENT;
    *info = (VbVersionInfo){0};
    info->byMajor = 0;
    info->byMinor = 9;
    info->byEngineMajor = 1;
    info->byEngineMinor = 3;
    info->byDay = 1;
    info->byMonth = 4;
    info->wYear = 2026;
    return VB_OK;
}

VORBISDLL_API VbResult vbEncOpen(const VbEncConfig* config, const VbTrackInfo* info,
                                 uint32_t* samplesPerChunk, uint32_t* outBufferSize,
                                 VbHandle* handle) {
    if (!config || !info || !samplesPerChunk || !outBufferSize || !handle)
        return VB_ERR_INVALID_ARGUMENT;
    *samplesPerChunk = 2048;
    *outBufferSize = 65536;
    *handle = 1;
    return VB_OK;
}
