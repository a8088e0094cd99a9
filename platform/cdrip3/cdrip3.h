/*
 * libcdrip3: CD drive access and digital audio extraction, C ABI.
 *
 * One process-wide state: a list of drives (real drives found by libcdio, then
 * disc-image drives), one active drive, one table of contents of the active drive,
 * and at most one open ripping process. Not thread-safe: call from one thread.
 *
 * Results: 0 means success unless a call says otherwise. Sectors are logical sector
 * numbers (sector 0 is MSF 00:02:00). Indices are 0-based, 32-bit signed.
 * Memory: the library never takes ownership of a caller's buffer and never hands out
 * memory the caller must free.
 */
#ifndef CDRIP3_H
#define CDRIP3_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CDRIP3_API __attribute__((visibility("default")))

/* Results of CR_RipChunk (and of other calls where stated). */
#define CDEX_OK 0
#define CDEX_ERROR 1
#define CDEX_FILEOPEN_ERROR 2
#define CDEX_JITTER_ERROR 3   /* chunk delivered, but not every sector could be verified */
#define CDEX_RIPPING_DONE 4   /* the range is finished; no bytes delivered */
#define CDEX_RIPPING_INPROGRESS 5
#define CDEX_NOT_READY 6      /* no disc in the active drive */
#define CDEX_NO_RIPPER 7      /* no ripping process is open */

/* One table-of-contents entry, 8 bytes. */
typedef struct CR_TOCENTRY {
    uint32_t dwStartSector; /* logical start sector (INDEX 01) */
    uint8_t btFlag;         /* Q sub-channel control bits; bit 2 (value 4) = data track */
    uint8_t btTrackNumber;  /* track number; the lead-out entry has 0xAA */
    uint8_t btSession;      /* session of the track, 1-based (0 = unknown); lets callers
                               tell a CD-Extra data track (session 2) from a mixed-mode one */
    uint8_t reserved;
} CR_TOCENTRY;

/* The drive-parameter block, 360 bytes. Bytes 0..255 are the library's own (the drive's
 * name and type); the 32-bit little-endian fields below are read on CR_SetCDROMParameters
 * and stored per drive by CR_SaveSettings. Offsets are byte offsets in the block. */
#define CR_PARAMS_SIZE 360
#define CR_OFS_SECTORS_PER_READ 256   /* sectors delivered per CR_RipChunk (1..200) */
#define CR_OFS_OVERLAP 260            /* overlap sectors of the jitter correction */
#define CR_OFS_COMPARE 264            /* sectors compared by the jitter correction */
#define CR_OFS_SPEED 276              /* read speed factor; 0 = drive default */
#define CR_OFS_JITTER_ON 284          /* jitter correction on (non-zero) */
#define CR_OFS_RETRIES 328            /* re-reads of one sector; 0 = library default */
#define CR_OFS_TIMEOUT 332            /* seconds */
#define CR_OFS_MULTIREAD 336
#define CR_OFS_MULTIREAD_FIRST 340
#define CR_OFS_MULTIREAD_COUNT 344
#define CR_OFS_LOCK_DURING_READ 348
#define CR_OFS_RIP_MODE 352           /* 0 = plain reads, 1 = paranoia */
#define CR_OFS_PARANOIA_MODE 356      /* libcdio-paranoia's PARANOIA_MODE_* bits */

typedef struct CR_DRIVEPARAMS {
    uint8_t bytes[CR_PARAMS_SIZE];
} CR_DRIVEPARAMS;

CDRIP3_API int32_t CR_Init(const char* settingsFileName);
CDRIP3_API int32_t CR_GetNumCDROM(void);
CDRIP3_API int32_t CR_GetActiveCDROM(void);
CDRIP3_API void CR_SetActiveCDROM(int32_t index);
CDRIP3_API const char* CR_GetCDROMIDByIndex(int32_t index);
CDRIP3_API int32_t CR_IsUnitReady(void);
CDRIP3_API int32_t CR_ReadToc(void);
CDRIP3_API int32_t CR_GetNumTocEntries(void);
CDRIP3_API int32_t CR_GetTocEntry2(int32_t index, CR_TOCENTRY* entry);
CDRIP3_API int32_t CR_OpenRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector);
CDRIP3_API int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t* abort);
CDRIP3_API int32_t CR_GetPercentCompleted(void);
CDRIP3_API int32_t CR_CloseRipper(void);
CDRIP3_API int32_t CR_GetCDROMParameters(CR_DRIVEPARAMS* params);
CDRIP3_API int32_t CR_SetCDROMParameters(const CR_DRIVEPARAMS* params);
CDRIP3_API int32_t CR_SaveSettings(void);
CDRIP3_API void CR_StopPlayTrack(void);
CDRIP3_API void CR_LockCD(int32_t lock);
CDRIP3_API void CR_EjectCD(int32_t open);

#ifdef __cplusplus
}
#endif

#endif /* CDRIP3_H */
