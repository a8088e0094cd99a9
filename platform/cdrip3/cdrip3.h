/*
 * libcdrip3: CD drive access and digital audio extraction, C ABI.
 *
 * One process-wide state: a list of drives (real drives found by libcdio, then
 * disc-image drives), one active drive, one table of contents of the active drive,
 * and at most one open ripping process.
 *
 * Threads: every call takes the library's one lock, so calls may come from more than one
 * thread; CR_RipChunk alone reads its chunk without it, and the other calls answer while
 * a chunk is read, without waiting for the drive. Likewise CR_ReadToc and CR_OpenRipper
 * (and CR_OpenRawRipper) wait for a disc that spins up, and CR_EjectCD for the tray, without the
 lock (see
 * spinup= and tray= below). The program rips on a thread of its own
 * (CR_OpenRipper or CR_OpenRawRipper, CR_RipChunk, CR_GetPercentCompleted, CR_CloseRipper,
 * CR_GetCDROMParameters, CR_SetCDROMParameters, CR_GetNumTocEntries, CR_LockCD,
 * CR_StopPlayTrack) while its window's thread calls CR_IsUnitReady, CR_GetNumCDROM,
 * CR_GetActiveCDROM, CR_GetCDROMIDByIndex, CR_GetReadOffset, CR_GetReadOffsetFrom,
 * CR_SetReadOffsetFrom, CR_GetDriveIdentity, CR_GetSettingsFileName, the
 * save button's CR_GetCDROMParameters, CR_SetCDROMParameters and CR_SaveSettings, and,
 * once the disc went, CR_ReadToc, CR_GetTocEntry2 and CR_GetCDText:
 * all of these may run during a chunk. Two limits: one ripper's chunks are read one after
 * the other (a second CR_RipChunk waits for the first), and a text a call hands out
 * (CR_GetCDROMIDByIndex, CR_GetCDText, CR_GetSettingsFileName) stays valid only until the
 * next call that replaces it, from whichever thread, so each of those is called from one
 * thread only.
 *
 * Results: 0 means success unless a call says otherwise. Sectors are logical sector
 * numbers (sector 0 is MSF 00:02:00). Indices are 0-based, 32-bit signed.
 * Memory: the library never takes ownership of a caller's buffer and never hands out
 * memory the caller must free. Every pointer argument may be null (the call then fails
 * as described, or does nothing); no argument value makes the library crash.
 *
 * Drives, in list order (the shared drive model, which the MCI layer sees alike):
 *   1. real drives found by libcdio, named "<vendor> <model> (<device>)", for example
 *      "HL-DT-ST DVDRAM GH24NSB0 (/dev/sr0)", or "CD drive (<device>)" when the drive
 *      does not identify itself;
 *   2. the device paths of the environment variable CDRIP3_DEVICES (colon-separated),
 *      opened through libcdio like real drives and named the same way; a cue sheet given
 *      there is read through libcdio's image driver and libcdio-paranoia;
 *   3. the cue sheets of the environment variable CDRIP3_IMAGES (colon-separated) and
 *   4. those of the settings file's [Images] section: image drives named
 *      "Image: <cue file name>", for example "Image: demo.cue".
 * A name already in the list gets " #2", " #3", ... appended: names are unique and key
 * the per-drive settings. Image drives read the sheet's files exactly (BINARY, MOTOROLA,
 * WAVE 16-bit 44100 Hz stereo); opening their tray (CR_EjectCD(1)) takes the disc out.
 *
 * Before CR_Init: every call works on the drives of the environment (CDRIP3_DEVICES,
 * CDRIP3_IMAGES) with default parameters; only CR_SaveSettings fails, as no file is
 * named yet.
 *
 * Settings file: $XDG_CONFIG_HOME/<name>, or $HOME/.config/<name> when XDG_CONFIG_HOME is
 * unset or not absolute; <name> is CR_Init's argument (an absolute path is used as it is).
 * Plain text, UTF-8, one "key=value" per line under "[section]" headers; lines starting
 * with '#' or ';' are comments, and so is the rest of a line from a ';' or '#' that follows
 * a blank (a value cannot hold " ;" or " #"; "a;b" is a value); unknown sections and keys
 * are ignored:
 *
 *     [Images]
 *     image1=/home/me/discs/demo.cue      ; relative paths are taken from the file's folder
 *     image2=/home/me/discs/other.cue
 *
 *     [Image: demo.cue]                   ; one section per drive, named like the drive
 *     sectors_per_read=26                 ; block offset 256
 *     overlap=7                           ; 260
 *     compare=1                           ; 264
 *     speed=0                             ; 276
 *     jitter_on=1                         ; 284
 *     retries=0                           ; 328
 *     timeout=30                          ; 332
 *     multiread=0                         ; 336
 *     multiread_first=0                   ; 340
 *     multiread_count=0                   ; 344
 *     lock_during_read=0                  ; 348
 *     rip_mode=1                          ; 352
 *     paranoia_mode=223                   ; 356
 *     field_268=5                         ; any other non-zero 32-bit field at 256..356
 *     read_offset=6                       ; CR_SetReadOffset, in samples
 *     read_offset_from=user               ; user, list or detected: CR_SetReadOffsetFrom
 *
 * A section with neither read_offset nor read_offset_from is a drive with no read offset of
 * its own; one with read_offset alone (as files were written before the source was kept)
 * holds the user's.
 * Sections of drives that are not present are kept and written back, so a drive that is
 * unplugged for a while keeps its parameters.
 *
 * Fault injection, for tests: the environment variable CDRIP3_FAULTS makes every drive
 * (rips and the MCI layer's playback alike) misbehave at given logical sectors, or take
 * their time. It is read when a ripper is opened (CR_OpenRipper), which keeps the plan of
 * that moment; spinup= and tray= are read at CR_Init and at each CR_EjectCD instead, which
 * keep them until the next of these. Unset or empty, nothing changes. Grammar (blanks
 * around items and values are allowed):
 *
 *     CDRIP3_FAULTS = item *( ";" item )
 *     item          = "unreadable=" range *( "," range )
 *                   | "jitter="     sector *( "," sector )
                   | "flaky="      sector *( "," sector )
 *                   | "stall="      sector [ ":" milliseconds ] *( "," sector [ ":" ms ] )
 *                   | "remove="     sector *( "," sector )
 *                   | "slow="       rate                 ; sectors per second, 1..1000000
 *                   | "spinup="     milliseconds
 *                   | "tray="       milliseconds
 *     range         = sector [ "-" sector ]          ; inclusive, first <= last
 *     sector        = decimal 0..4294967294          ; milliseconds: decimal 0..60000
 *
 * for example "unreadable=1000-1005;jitter=2000;flaky=2500;stall=3000:500;remove=4000".
 * An item that does not follow the grammar is ignored (and named on stderr); the others
 * apply.
 *
 *   unreadable  the sectors cannot be read. Image drives: a chunk stops short of the first
 *               of them, and the chunk that starts on one fails with CDRIP3_ERROR (as does
 *               every retry). Real drives: a read that reaches one delivers the sectors
 *               before it and fails; paranoia retries, and once it has spent half its
 *               retries the unreadable sectors are delivered as silence, each chunk holding
 *               one answered CDRIP3_JITTER_ERROR. With paranoia off they are silence at once.
 *   jitter      reads covering the sector arrive shifted by a few stereo frames, by a
 *               different amount each time. Real drives: paranoia finds and corrects the
 *               shift (the chunk is exact, CDRIP3_OK); with paranoia off the shifted audio
 *               is delivered as it came. Image drives have no paranoia: the chunk holding
 *               the sector is delivered exact but answered CDRIP3_JITTER_ERROR, as from a
 *               drive whose jitter could not be corrected.
 *   flaky       the sector comes back altered every second time the drive delivers it
 *               (deliveries 2, 4, 6, ...), its first 16 bytes inverted (each byte XOR 0xFF),
 *               and nothing tells: the chunk is answered CDRIP3_OK. Deliveries are counted
 *               per drive and sector, over all the drive's readers (rippers and the MCI
 *               layer's playback alike) whose plan names the sector flaky. The count starts
 *               at 0 when the drive list is built (the first call of the library or the
 *               MCI layer in the process) and is never reset while the process runs:
 *               not by CR_Init, a new ripper, the tray or a change of CDRIP3_FAULTS (only
 *               a drive list rebuilt for a test starts from 0 again). Image
 *               drives deliver a sector once per rip that covers it, so two rips in a row
 *               (a test read and its copy) differ there. Drives read through libcdio
 *               count every read made of the drive: with plain reads (rip mode 0) a rip
 *               reads the sector once, as image drives do, while paranoia's re-reads and
 *               overlapping reads count too, so a rip with paranoia on may meet both
 *               versions of the sector within itself and answers as paranoia then finds.
 *   stall       the drive stops answering when asked for the sector: that read blocks for
 *               the milliseconds given (1000 when none are), then fails with CDRIP3_ERROR,
 *               and every later read of the ripper fails at once. Image drives stall
 *               exactly at the sector, after delivering everything before it; real drives
 *               read ahead, so the rip there ends before the sector.
 *   remove      the disc is taken out as the drive reaches the sector: the sectors before
 *               it are delivered, then the drive is not ready (CDRIP3_NOT_READY), and the
 *               media callback is told (index, 0). It stays out until CR_EjectCD(0).
 *   slow        every drive delivers no faster than the rate, counted from the reader's
 *               first sector: slow=600 is a drive at 8x speed (75 sectors a second is 1x).
 *               Applies to the sectors read as well as to those the other faults let
 *               through.
 *   spinup      a disc that has just gone in spins up for the milliseconds given: every
 *               drive's when the library starts (CR_Init), the active drive's when its
 *               tray closes (CR_EjectCD(0)), before the media callback is told (index, 1),
 *               and the MCI layer's drive's when MCI_SET_DOOR_CLOSED closes its door (the
 *               plan read then). Meanwhile CR_IsUnitReady answers 0 at once, as a drive
 *               becoming ready does, also inside that callback, and CR_ReadToc and
 *               CR_OpenRipper (and the MCI commands that read the disc) wait until the
 *               spin-up is over, then go on as without it; the other calls answer from
 *               other threads meanwhile. Image drives and drives read through libcdio
 *               alike.
 *   tray        CR_EjectCD takes the milliseconds given, opening or closing, as a tray's
 *               mechanics do, before the drive's tray moves and the media callback is
 *               told; the other calls answer from other threads meanwhile. A closing tray
 *               starts the spin-up once it has closed. The MCI layer's door does not wait.
 *
 * Of slow=, spinup= and tray= given more than once, the last applies.
 *
 * A stall or a removal happens once per ripper; a new ripper (a new CR_OpenRipper) meets
 * it again if its range holds the sector.
 */
#ifndef CDRIP3_H
#define CDRIP3_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CDRIP3_API __attribute__((visibility("default")))

/* Results of CR_RipChunk (and of other calls where stated). */
#define CDRIP3_OK 0
#define CDRIP3_ERROR 1
#define CDRIP3_FILEOPEN_ERROR 2
#define CDRIP3_JITTER_ERROR 3 /* chunk delivered, but not every sector could be verified */
#define CDRIP3_RIPPING_DONE 4 /* the range is finished; no bytes delivered */
#define CDRIP3_RIPPING_INPROGRESS 5
#define CDRIP3_NOT_READY 6 /* no disc in the active drive */
#define CDRIP3_NO_RIPPER 7 /* no ripping process is open */

/* One table-of-contents entry, 8 bytes. */
typedef struct CR_TOCENTRY {
    uint32_t dwStartSector; /* logical start sector (INDEX 01) */
    uint8_t btFlag;         /* Q sub-channel control bits; bit 2 (value 4) = data track */
    uint8_t btTrackNumber;  /* track number; the lead-out entry has 0xAA */
    uint8_t btSession;      /* session of the track, 1-based (0 = unknown); lets callers
                               tell a CD-Extra data track (session 2) from a mixed-mode one */
    uint8_t reserved;
} CR_TOCENTRY;

/* The drive-parameter block, 360 bytes. Bytes 0..255 are the library's own: the drive's
 * name, zero-padded (ignored by CR_SetCDROMParameters). The 32-bit little-endian fields
 * below are read on CR_SetCDROMParameters and stored per drive by CR_SaveSettings.
 * Offsets are byte offsets in the block. */
#define CR_PARAMS_SIZE 360
#define CR_OFS_SECTORS_PER_READ 256 /* sectors delivered per CR_RipChunk (1..200) */
#define CR_OFS_OVERLAP 260          /* overlap sectors of the jitter correction */
#define CR_OFS_COMPARE 264          /* sectors compared by the jitter correction */
#define CR_OFS_SPEED 276            /* read speed factor; 0 = drive default */
#define CR_OFS_JITTER_ON 284        /* jitter correction on (non-zero) */
#define CR_OFS_RETRIES 328          /* re-reads of one sector; 0 = library default */
#define CR_OFS_TIMEOUT 332          /* seconds */
#define CR_OFS_MULTIREAD 336
#define CR_OFS_MULTIREAD_FIRST 340
#define CR_OFS_MULTIREAD_COUNT 344
#define CR_OFS_LOCK_DURING_READ 348
#define CR_OFS_RIP_MODE 352      /* 0 = plain reads, 1 = paranoia */
#define CR_OFS_PARANOIA_MODE 356 /* libcdio-paranoia's PARANOIA_MODE_* bits */

typedef struct CR_DRIVEPARAMS {
    uint8_t bytes[CR_PARAMS_SIZE];
} CR_DRIVEPARAMS;

/*
 * Initialises (or re-initialises) the library: reads the settings file <name> (see the
 * top of this header), hands its image list to the drive model, makes drive 0 active and
 * forgets the table of contents and any open ripper. Returns 0, also when the file does
 * not exist or cannot be read (parameters then start at their defaults, and
 * CR_SaveSettings reports whether the place is writable). Returns CDRIP3_ERROR only for a
 * null or empty name; the library then works as before CR_Init.
 */
CDRIP3_API int32_t CR_Init(const char* settingsFileName);

/* Number of drives (0 when there is none). */
CDRIP3_API int32_t CR_GetNumCDROM(void);

/* Index of the active drive; 0 until changed (also when there is no drive). */
CDRIP3_API int32_t CR_GetActiveCDROM(void);

/* Makes drive index active; an index outside 0..CR_GetNumCDROM()-1 is ignored. A change
 * of drive forgets the table of contents; an open ripper keeps reading its own drive. */
CDRIP3_API void CR_SetActiveCDROM(int32_t index);

/* The name of drive index (see the top of this header). The pointer stays valid until
 * the next call of CR_GetCDROMIDByIndex; never null: "" for an index out of range. */
CDRIP3_API const char* CR_GetCDROMIDByIndex(int32_t index);

/* 1 when the active drive holds a disc (an image drive: its tray is closed and its cue
 * sheet exists, even if the sheet later proves unreadable), else 0; 0 too, at once, while
 * the disc spins up (CDRIP3_FAULTS' spinup=). */
CDRIP3_API int32_t CR_IsUnitReady(void);

/* Reads the active drive's table of contents: 0 on success, CDRIP3_ERROR when there is no
 * drive, no disc, or the table cannot be read (image drives: a malformed sheet, a missing
 * or short file, a WAVE file not in CD format). A failure empties the stored table. A disc
 * that spins up is waited for first (CDRIP3_FAULTS' spinup=), as by CR_OpenRipper. */
CDRIP3_API int32_t CR_ReadToc(void);

/* Number of tracks of the last successful CR_ReadToc; 0 when there is none. */
CDRIP3_API int32_t CR_GetNumTocEntries(void);

/* Fills *entry with track index (0..n-1, disc order) of the stored table, or with the
 * lead-out for index n (btTrackNumber 0xAA, btFlag 0, btSession = last session, start =
 * the sector after the last track). Returns 0, or CDRIP3_ERROR for a null entry or an index
 * outside 0..n (the entry is then zeroed). */
CDRIP3_API int32_t CR_GetTocEntry2(int32_t index, CR_TOCENTRY* entry);

/* The fields of the disc's CD-Text, for CR_GetCDText. Genre and date are the disc's only. */
#define CR_CDTEXT_TITLE 0
#define CR_CDTEXT_PERFORMER 1
#define CR_CDTEXT_SONGWRITER 2
#define CR_CDTEXT_GENRE 3
#define CR_CDTEXT_DATE 4

/*
 * One field of the CD-Text of the disc of the last successful CR_ReadToc, which reads it
 * with the table; this call does not touch the drive. track is 0 for the disc, or i for the
 * table's track at index i-1 (1..n, CR_GetTocEntry2's index + 1). Text is UTF-8 and never
 * null: "" when the field is absent, the disc has no CD-Text, there is no table (none
 * read, CR_ReadToc failed, the drive changed or its tray opened), or track or field is
 * out of range. The library owns the text; it stays valid until the next CR_ReadToc.
 *
 * Image drives take TITLE, PERFORMER and SONGWRITER of the disc and its tracks from the cue
 * sheet, and REM GENRE and REM DATE of the disc; a sheet that is not UTF-8 is read as
 * Latin-1. Drives read through libcdio give the disc's first language block as libcdio
 * decodes it, and no date (CD-Text has none).
 */
CDRIP3_API const char* CR_GetCDText(int32_t track, int32_t field);

/*
 * Opens a ripper on sectors firstSector..lastSector (inclusive) of the active drive, with
 * the active drive's parameters and read offset at the time of the call. On success
 * returns 0 and sets *bufferSize to sectors-per-read * 2352: the size of the buffer
 * CR_RipChunk needs.
 * Fails, leaving *bufferSize untouched, with
 *   CDRIP3_ERROR               null bufferSize, no drive, a negative sector, first > last,
 *                            lastSector at or beyond the lead-out, unreadable table;
 *   CDRIP3_NOT_READY           no disc;
 *   CDRIP3_RIPPING_INPROGRESS  a ripper is open already (close it first).
 */
CDRIP3_API int32_t CR_OpenRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector);

/*
 * Opens a ripper as CR_OpenRipper does, but with no read offset applied, whatever the active
 * drive's: delivered sample j of the range is what the drive gives for the disc's sample
 * (firstSector * 588 + j). For finding the drive's offset from a disc, without changing the
 * offset the drive keeps meanwhile. Same results as CR_OpenRipper.
 */
CDRIP3_API int32_t CR_OpenRawRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector);

/*
 * Reads the next up to sectors-per-read sectors of the open ripper into buffer (which
 * holds *bufferSize bytes of CR_OpenRipper) and sets *bytesRead to their byte count.
 * Audio is 16-bit little-endian stereo, as on the disc. Returns
 *   CDRIP3_OK            bytes delivered, every sector read exactly (or verified);
 *   CDRIP3_JITTER_ERROR  bytes delivered, but paranoia could not verify or correct every
 *                      sector of the chunk (its audio is still the best it could get);
 *   CDRIP3_RIPPING_DONE  the range is exhausted, or *abort was non-zero: *bytesRead = 0,
 *                      and every later call says so too until CR_CloseRipper;
 *   CDRIP3_NOT_READY     the disc went (tray opened, medium changed): *bytesRead = 0;
 *   CDRIP3_ERROR         read failure, or null buffer/bytesRead: *bytesRead = 0 (if given);
 *   CDRIP3_NO_RIPPER     no ripper is open: *bytesRead = 0.
 * abort may be null (never abort). Another thread may set *abort while the call reads
 * (with an atomic store): the read then ends after the sector in hand, delivering the
 * sectors it has (CDRIP3_OK) or, with none, CDRIP3_RIPPING_DONE; a stalled drive is let go
 * at once. The caller keeps *abort alive until the call returns.
 */
CDRIP3_API int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t* abort);

/* Sectors delivered * 100 / sectors in the range: 0..100, exactly 100 once all were
 * delivered; 0 with no ripper open. */
CDRIP3_API int32_t CR_GetPercentCompleted(void);

/* Closes the ripper: 0 when one was open, CDRIP3_NO_RIPPER when none was. A CR_RipChunk
 * running on another thread meanwhile finishes its chunk on the ripper it began with.
 * While a chunk is read, the library's other calls answer without waiting for it. */
CDRIP3_API int32_t CR_CloseRipper(void);

/* Copies the active drive's parameter block into *params (bytes 0..255: the drive's
 * name). Defaults: sectors per read 26, overlap 7, compare 1, speed 0, jitter on 1,
 * retries 0 (library default: 20), timeout 30, multiread 0/0/0, lock during read 0,
 * rip mode 1, paranoia mode 0xDF (full paranoia without "never skip").
 * Returns 0, or CDRIP3_ERROR for a null params or when there is no drive. */
CDRIP3_API int32_t CR_GetCDROMParameters(CR_DRIVEPARAMS* params);

/*
 * Stores *params as the active drive's parameters; they take effect at the next
 * CR_OpenRipper. Out-of-range values are clamped, never refused: sectors per read 1..200,
 * overlap and compare 0..100, speed -1..255 (0 and -1: leave the drive's speed alone),
 * retries 0..1000, timeout 0..3600, rip mode 0..1, paranoia mode 0..0xFF; the other
 * fields are kept as given. Returns 0, or CDRIP3_ERROR for a null params or when there is
 * no drive.
 *
 * How the fields drive the reading (real drives; image drives read exactly anyway):
 * paranoia is on when jitter-on is non-zero and rip mode is 1, and then runs with the
 * paranoia-mode bits (libcdio-paranoia's PARANOIA_MODE_*, set with
 * cdio_paranoia_modeset); otherwise PARANOIA_MODE_DISABLE. Retries bound the re-reads of
 * one sector (cdio_paranoia_read_limited): once half of them have failed, the sectors the
 * drive cannot deliver are read one by one and those that still fail are delivered as
 * silence in a chunk answered CDRIP3_JITTER_ERROR, so a bad sector never hangs a rip and
 * costs no audio but its own; 0 means 20. Without paranoia a failed read is split at once.
 * A speed above 0 is set with cdio_cddap_speed_set. Overlap, compare, timeout, the
 * multiread fields and lock-during-read are stored and saved only: libcdio-paranoia
 * sizes its overlap itself.
 */
CDRIP3_API int32_t CR_SetCDROMParameters(const CR_DRIVEPARAMS* params);

/*
 * The active drive's read offset in stereo samples (4 bytes each): 0 by default, and for
 * no drive. Kept per drive, like the parameters, and stored by CR_SaveSettings.
 */
CDRIP3_API int32_t CR_GetReadOffset(void);

/* The largest read offset either way, in samples (some 8.5 sectors). */
#define CR_MAX_READ_OFFSET 5000

/*
 * Sets the active drive's read offset in stereo samples; it takes effect at the next
 * CR_OpenRipper. Values outside -5000..5000 are clamped, never refused. Returns 0, or
 * CDRIP3_ERROR when there is no drive.
 *
 * With an offset of +k, the audio CR_RipChunk delivers for a range starts k samples later
 * on the disc: delivered sample j of the range is the disc's sample (first * 588 + j + k);
 * -k moves it as far the other way. Samples before the disc's sector 0 or after its last
 * sector (before the lead-out, or before the gap to a later session) are delivered as
 * silence and never read. The range, the number of bytes delivered, the chunks and
 * CR_GetPercentCompleted stay what they are without an offset. Faults apply to the disc
 * sectors read and show where their samples are delivered: a rip that stops at a faulty
 * sector x has delivered every sector holding no sample of x, and a chunk answered
 * CDRIP3_JITTER_ERROR holds audio of a read that could not be verified.
 */
CDRIP3_API int32_t CR_SetReadOffset(int32_t samples);

/* Where the active drive's read offset came from, CR_GetReadOffsetFrom's answers. */
#define CDRIP3_OFFSET_FROM_NONE 0     /* the drive has none of its own: CR_GetReadOffset is 0 */
#define CDRIP3_OFFSET_FROM_USER 1     /* typed by the user (CR_SetReadOffset) */
#define CDRIP3_OFFSET_FROM_LIST 2     /* AccurateRip's list of drive offsets */
#define CDRIP3_OFFSET_FROM_DETECTED 3 /* found from a disc in the drive */

/* Where the active drive's read offset came from: one of CDRIP3_OFFSET_FROM_*, NONE for no
 * drive. CR_SetReadOffset makes it USER. */
CDRIP3_API int32_t CR_GetReadOffsetFrom(void);

/*
 * Sets the active drive's read offset as CR_SetReadOffset does, and where it came from
 * (CDRIP3_OFFSET_FROM_USER, _LIST or _DETECTED); CR_SaveSettings stores both. From
 * CDRIP3_OFFSET_FROM_NONE, the drive has no offset of its own any more (samples are then
 * ignored, and CR_GetReadOffset answers 0). Returns 0, or CDRIP3_ERROR when there is no
 * drive or from is none of these (nothing changes then).
 */
CDRIP3_API int32_t CR_SetReadOffsetFrom(int32_t samples, int32_t from);

/* What the active drive says of itself, for CR_GetDriveIdentity: NUL-terminated text,
 * blanks trimmed, zero-padded. */
typedef struct CR_DRIVEIDENTITY {
    char vendor[9];   /* INQUIRY's vendor, 8 bytes at most */
    char product[17]; /* its product, 16 bytes at most */
    char revision[5]; /* its revision, 4 bytes at most */
} CR_DRIVEIDENTITY;

/*
 * Fills *identity for the active drive. Real drives and those of CDRIP3_DEVICES: what
 * libcdio's cdio_get_hwinfo answered when the drive list was built (so this call never
 * waits on the drive), all empty when the drive did not answer. Image drives: vendor
 * "IMAGE", product the cue sheet's file name without its folder, cut to 16 bytes at a UTF-8
 * character's boundary, revision empty. Returns 0, or CDRIP3_ERROR for a null identity or
 * when there is no drive (the record is then zeroed, if given).
 */
CDRIP3_API int32_t CR_GetDriveIdentity(CR_DRIVEIDENTITY* identity);

/* Writes the settings file (image list, every known drive's parameters and read offset)
 * atomically, creating its folder: 0 when written; CDRIP3_FILEOPEN_ERROR when it could not
 * be written or no file is named yet (no successful CR_Init). On failure the calling
 * thread's errno says why: ENOENT for no file named, else the failing step's (ENOTDIR when
 * a folder on the way is a plain file, EISDIR when the file is a folder, ...). */
CDRIP3_API int32_t CR_SaveSettings(void);

/* Extension: the full path of the settings file CR_SaveSettings writes (the file named at
 * CR_Init, placed in the configuration folder); an empty string before a successful
 * CR_Init. The text stays valid until the next CR_Init; never null. */
CDRIP3_API const char* CR_GetSettingsFileName(void);

/* Stops the active drive's own analogue playback; errors are ignored. */
CDRIP3_API void CR_StopPlayTrack(void);

/* Prevents (non-zero) or allows (0) medium removal on the active drive; a no-op for
 * image drives and drives that cannot lock. */
CDRIP3_API void CR_LockCD(int32_t lock);

/* Opens (non-zero) or closes (0) the active drive's tray. For an image drive opening
 * takes the disc out: CR_IsUnitReady gives 0, an open ripper's reads give CDRIP3_NOT_READY,
 * and the media callback is told (index, 0); closing puts it back and tells (index, 1).
 * Reads CDRIP3_FAULTS' spinup= and tray=: the tray takes its time first, then moves, and a
 * closed tray's disc spins up from before the callback is told. */
CDRIP3_API void CR_EjectCD(int32_t open);

/*
 * Extension for the program's device-change monitor: registers callback to be told when
 * a drive's medium arrives (arrived = 1) or goes (arrived = 0); context is handed back
 * unchanged. One callback at a time: a new call replaces the old one, a null callback
 * unregisters. The callback runs on the thread that caused the change (for image drives,
 * the thread calling CR_EjectCD or the drive model's eject) and may call the library.
 */
typedef void (*CR_MEDIANOTIFY)(int32_t driveIndex, int32_t arrived, void* context);
CDRIP3_API void CR_SetMediaNotify(CR_MEDIANOTIFY callback, void* context);

#ifdef __cplusplus
}
#endif

#endif /* CDRIP3_H */
