/*
 * The media control interface for CD audio: the commands, flags, items, records and
 * constant values of the Windows MCI, for the "cdaudio" device type only. Devices are
 * the drives of the shared drive model, in its order (real drives, then image drives).
 *
 * Records keep their Windows field order; fields that hold a pointer or a callback are
 * native-width (DWORD_PTR). Every command returns 0 on success or an MCIERR_ code.
 *
 * Commands may come from any thread; they are carried out one at a time. A disc that has
 * just gone in may spin up for a while (CDRIP3_FAULTS' spinup=, see cdrip3.h; the plan is
 * read as MCI_SET_DOOR_CLOSED closes the door): the commands that read the disc (MCI_STATUS
 * but for MCI_STATUS_TIME_FORMAT, MCI_SEEK, MCI_PLAY) wait until it has, and then go on
 * as without it, while other commands, on this device or others, are carried out
 * meanwhile. The door does not wait for tray=.
 *
 * Behaviour of this implementation (libsvmci):
 *  - Device ids start at 1 and are never reused within the process (0 is never an id).
 *    Several devices may be open at once, also on the same drive. MCI_NOTIFY and MCI_WAIT
 *    are accepted by every command; only MCI_PLAY sends a notification (see below).
 *  - MCI_SYSINFO: MCI_SYSINFO_QUANTITY writes the number of CD-audio devices (the drive
 *    count; 0 for a wDeviceType other than 0 or MCI_DEVTYPE_CD_AUDIO), or with
 *    MCI_SYSINFO_OPEN the number of open devices, as a 32-bit integer into lpstrReturn
 *    (dwRetSize >= 4). MCI_SYSINFO_NAME writes the name of drive dwNumber (1-based).
 *    The device id is ignored.
 *  - MCI_OPEN: MCI_OPEN_TYPE with MCI_OPEN_TYPE_ID: lpstrDeviceType holds
 *    (ordinal << 16) | MCI_DEVTYPE_CD_AUDIO, ordinal = 0-based drive index. MCI_OPEN_TYPE
 *    alone: the string "cdaudio" (any case) opens drive 0. MCI_OPEN_ELEMENT: the drive
 *    whose name equals lpstrElementName, or whose name ends in "(<element>)" (a device
 *    path); it may stand alone or go with MCI_OPEN_TYPE. The time format starts as MSF.
 *    MCI_OPEN_FOR_PLAYBACK (this implementation's own flag, with any of these forms) marks
 *    a device opened to play: the open fails with MCIERR_WAVE_OUTPUTSUNSUITABLE when there
 *    is no sound output device. Opens without it never need one (table-of-contents
 *    queries).
 *  - MCI_CLOSE takes no parameter block; MCI_ALL_DEVICE_ID closes every device. A playback
 *    of the device is stopped first (notified MCI_NOTIFY_ABORTED).
 *  - MCI_STATUS: positions/lengths per the time format (see below); the TOC is read from
 *    the drive at every query that needs it, so a disc change is always seen. Track
 *    numbers (dwTrack, the track of TMSF values, MCI_STATUS_CURRENT_TRACK) are 1-based
 *    positions in the TOC. No disc: MCIERR_DEVICE_NOT_READY (MCI_STATUS_MODE then gives
 *    MCI_MODE_OPEN, MEDIA_PRESENT and READY give 0); a disc whose TOC cannot be read:
 *    MCIERR_HARDWARE.
 *  - Times: a position is absolute (frames = logical sector + 150): MSF packed, TMSF
 *    track-relative, milliseconds = frames * 1000 / 75, frames plain. A length is a
 *    duration (no offset): MSF packed (also in TMSF format), ms, frames. A track's length
 *    is the next track's start minus its own (the lead-out for the last track), without
 *    the session gap before a track of a later session (CD-Extra). The disc's length is
 *    the lead-out minus the first track's start. The current position starts at the
 *    first track's start.
 *  - MCI_SET: MCI_SET_TIME_FORMAT (MSF, TMSF, milliseconds, frames; others
 *    MCIERR_BAD_TIME_FORMAT); MCI_SET_DOOR_OPEN / MCI_SET_DOOR_CLOSED stop a playback of
 *    the device (MCI_NOTIFY_ABORTED), then move the tray.
 *  - MCI_SEEK (MCI_SEEK_PARMS): exactly one of MCI_TO (a position in the time format,
 *    up to the lead-out), MCI_SEEK_TO_START (the first track's start) or MCI_SEEK_TO_END
 *    (the end of the last audio track). Stops a playback (MCI_NOTIFY_ABORTED).
 *  - MCI_PLAY (MCI_PLAY_PARMS, may be null without MCI_FROM/MCI_TO/MCI_NOTIFY): digital
 *    playback of [from, to) through the default sound output; returns at once (with
 *    MCI_WAIT: when the playback has ended). from: MCI_FROM, else the current position;
 *    to: MCI_TO, else the end of the last audio track (CD-Extra: before the session gap);
 *    a to beyond that end is cut to it. A from inside a data track moves to the next audio
 *    track; data sectors inside the range play as silence. Errors: to before from
 *    MCIERR_OUTOFRANGE, a disc without audio MCIERR_NONAPPLICABLE_FUNCTION, no sound
 *    output device MCIERR_WAVE_OUTPUTSUNSUITABLE. A playback already running on the device
 *    is superseded (MCI_NOTIFY_SUPERSEDED). While it plays MCI_STATUS_MODE gives
 *    MCI_MODE_PLAY and MCI_STATUS_POSITION / CURRENT_TRACK follow what is being heard;
 *    when it has ended, the position is where it stopped (the range's end after playing
 *    out) until the next SEEK or PLAY.
 *  - MCI_STOP ends a playback (MCI_NOTIFY_ABORTED) and keeps its position. MCI_PAUSE does
 *    the same but MCI_STATUS_MODE then gives MCI_MODE_PAUSE until the next command that
 *    moves the device; MCI_PLAY without MCI_FROM resumes there. Both return only once the
 *    audio has stopped; both succeed without a disc.
 *  - Notifications: a MCI_PLAY given MCI_NOTIFY reports how it ended, once, through the
 *    callback of mciSetNotifyCallback, with the parameter block's dwCallback:
 *    MCI_NOTIFY_SUCCESSFUL (the range has played out), MCI_NOTIFY_ABORTED (MCI_STOP,
 *    MCI_PAUSE, MCI_SEEK, MCI_CLOSE, the door moved through MCI_SET),
 *    MCI_NOTIFY_SUPERSEDED (another MCI_PLAY on the device), MCI_NOTIFY_FAILURE (the drive
 *    failed to deliver, the disc went away - e.g. an image drive's tray opened elsewhere -,
 *    or the sound device could not be opened or failed).
 *  - Other commands: MCIERR_UNRECOGNIZED_COMMAND (after the device id is checked).
 */
#ifndef SV_MCI_H
#define SV_MCI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MCI_API __attribute__((visibility("default")))

typedef uint32_t DWORD;
typedef uintptr_t DWORD_PTR;
typedef uint32_t UINT;
typedef UINT MCIDEVICEID;
typedef DWORD MCIERROR;

/* Commands */
#define MCI_OPEN 0x0803
#define MCI_CLOSE 0x0804
#define MCI_PLAY 0x0806
#define MCI_SEEK 0x0807
#define MCI_STOP 0x0808
#define MCI_PAUSE 0x0809
#define MCI_SET 0x080D
#define MCI_SYSINFO 0x0810
#define MCI_STATUS 0x0814

/* Common flags */
#define MCI_NOTIFY 0x00000001L
#define MCI_WAIT 0x00000002L
#define MCI_FROM 0x00000004L
#define MCI_TO 0x00000008L
#define MCI_TRACK 0x00000010L

/* MCI_OPEN flags */
#define MCI_OPEN_SHAREABLE 0x00000100L
#define MCI_OPEN_ELEMENT 0x00000200L
#define MCI_OPEN_ALIAS 0x00000400L
#define MCI_OPEN_ELEMENT_ID 0x00000800L
#define MCI_OPEN_TYPE_ID 0x00001000L
#define MCI_OPEN_TYPE 0x00002000L
/* This implementation's own: the device is opened to play (needs a sound output). */
#define MCI_OPEN_FOR_PLAYBACK 0x00010000L

/* MCI_SYSINFO flags */
#define MCI_SYSINFO_QUANTITY 0x00000100L
#define MCI_SYSINFO_OPEN 0x00000200L
#define MCI_SYSINFO_NAME 0x00000400L

/* MCI_STATUS flags and items */
#define MCI_STATUS_ITEM 0x00000100L
#define MCI_STATUS_START 0x00000200L
#define MCI_STATUS_LENGTH 0x00000001L
#define MCI_STATUS_POSITION 0x00000002L
#define MCI_STATUS_NUMBER_OF_TRACKS 0x00000003L
#define MCI_STATUS_MODE 0x00000004L
#define MCI_STATUS_MEDIA_PRESENT 0x00000005L
#define MCI_STATUS_TIME_FORMAT 0x00000006L
#define MCI_STATUS_READY 0x00000007L
#define MCI_STATUS_CURRENT_TRACK 0x00000008L
#define MCI_CDA_STATUS_TYPE_TRACK 0x00004001L
#define MCI_CDA_TRACK_AUDIO 1088
#define MCI_CDA_TRACK_OTHER 1089

/* Modes returned by MCI_STATUS_MODE */
#define MCI_MODE_NOT_READY 524
#define MCI_MODE_STOP 525
#define MCI_MODE_PLAY 526
#define MCI_MODE_SEEK 528
#define MCI_MODE_PAUSE 529
#define MCI_MODE_OPEN 530

/* MCI_SET flags */
#define MCI_SET_DOOR_OPEN 0x00000100L
#define MCI_SET_DOOR_CLOSED 0x00000200L
#define MCI_SET_TIME_FORMAT 0x00000400L

/* MCI_SEEK flags */
#define MCI_SEEK_TO_START 0x00000100L
#define MCI_SEEK_TO_END 0x00000200L

/* Time formats */
#define MCI_FORMAT_MILLISECONDS 0
#define MCI_FORMAT_HMS 1
#define MCI_FORMAT_MSF 2
#define MCI_FORMAT_FRAMES 3
#define MCI_FORMAT_TMSF 10

/* Device types */
#define MCI_DEVTYPE_CD_AUDIO 516

/* Notification results */
#define MCI_NOTIFY_SUCCESSFUL 0x0001
#define MCI_NOTIFY_SUPERSEDED 0x0002
#define MCI_NOTIFY_ABORTED 0x0004
#define MCI_NOTIFY_FAILURE 0x0008

/* Packed times. MSF: minute in byte 0, second in byte 1, frame in byte 2.
 * TMSF: track in byte 0, then minute, second, frame. */
#define MCI_MSF_MINUTE(msf) ((uint8_t)(msf))
#define MCI_MSF_SECOND(msf) ((uint8_t)((msf) >> 8))
#define MCI_MSF_FRAME(msf) ((uint8_t)((msf) >> 16))
#define MCI_MAKE_MSF(m, s, f) \
    ((DWORD)(((uint8_t)(m) | ((uint32_t)(uint8_t)(s) << 8)) | ((uint32_t)(uint8_t)(f) << 16)))
#define MCI_TMSF_TRACK(tmsf) ((uint8_t)(tmsf))
#define MCI_TMSF_MINUTE(tmsf) ((uint8_t)((tmsf) >> 8))
#define MCI_TMSF_SECOND(tmsf) ((uint8_t)((tmsf) >> 16))
#define MCI_TMSF_FRAME(tmsf) ((uint8_t)((tmsf) >> 24))
#define MCI_MAKE_TMSF(t, m, s, f)                                                            \
    ((DWORD)((uint8_t)(t) | ((uint32_t)(uint8_t)(m) << 8) | ((uint32_t)(uint8_t)(s) << 16) | \
             ((uint32_t)(uint8_t)(f) << 24)))

/* Every open device at once (MCI_CLOSE only). */
#define MCI_ALL_DEVICE_ID ((MCIDEVICEID)0xFFFFFFFF)

/* Errors */
#define MCIERR_BASE 256
#define MCIERR_INVALID_DEVICE_ID (MCIERR_BASE + 1)
#define MCIERR_UNRECOGNIZED_COMMAND (MCIERR_BASE + 5)
#define MCIERR_HARDWARE (MCIERR_BASE + 6)
#define MCIERR_INVALID_DEVICE_NAME (MCIERR_BASE + 7)
#define MCIERR_OUT_OF_MEMORY (MCIERR_BASE + 8)
#define MCIERR_DEVICE_OPEN (MCIERR_BASE + 9)
#define MCIERR_CANNOT_LOAD_DRIVER (MCIERR_BASE + 10)
#define MCIERR_PARAM_OVERFLOW (MCIERR_BASE + 12)
#define MCIERR_MISSING_PARAMETER (MCIERR_BASE + 17)
#define MCIERR_UNSUPPORTED_FUNCTION (MCIERR_BASE + 18)
#define MCIERR_DEVICE_NOT_READY (MCIERR_BASE + 20)
#define MCIERR_INTERNAL (MCIERR_BASE + 21)
#define MCIERR_OUTOFRANGE (MCIERR_BASE + 26)
#define MCIERR_FLAGS_NOT_COMPATIBLE (MCIERR_BASE + 28)
#define MCIERR_DEVICE_TYPE_REQUIRED (MCIERR_BASE + 31)
#define MCIERR_BAD_CONSTANT (MCIERR_BASE + 34)
#define MCIERR_BAD_TIME_FORMAT (MCIERR_BASE + 37)
#define MCIERR_NULL_PARAMETER_BLOCK (MCIERR_BASE + 41)
#define MCIERR_DEVICE_NOT_INSTALLED (MCIERR_BASE + 50)
#define MCIERR_BAD_INTEGER (MCIERR_BASE + 14)
#define MCIERR_NONAPPLICABLE_FUNCTION (MCIERR_BASE + 46)
#define MCIERR_WAVE_OUTPUTSUNSUITABLE (MCIERR_BASE + 66)

/* Parameter records */
typedef struct MCI_GENERIC_PARMS {
    DWORD_PTR dwCallback;
} MCI_GENERIC_PARMS;

typedef struct MCI_OPEN_PARMSA {
    DWORD_PTR dwCallback;
    MCIDEVICEID wDeviceID;       /* out */
    const char* lpstrDeviceType; /* "cdaudio", or with MCI_OPEN_TYPE_ID a type id
                                    (low word) and device ordinal (high word) */
    const char* lpstrElementName;
    const char* lpstrAlias;
} MCI_OPEN_PARMSA;

typedef struct MCI_STATUS_PARMS {
    DWORD_PTR dwCallback;
    DWORD_PTR dwReturn; /* out */
    DWORD dwItem;
    DWORD dwTrack;
} MCI_STATUS_PARMS;

typedef struct MCI_SET_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwTimeFormat;
    DWORD dwAudio;
} MCI_SET_PARMS;

typedef struct MCI_SYSINFO_PARMSA {
    DWORD_PTR dwCallback;
    char* lpstrReturn; /* out: with MCI_SYSINFO_QUANTITY, a 32-bit count */
    DWORD dwRetSize;
    DWORD dwNumber;
    UINT wDeviceType;
} MCI_SYSINFO_PARMSA;

typedef struct MCI_PLAY_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwFrom;
    DWORD dwTo;
} MCI_PLAY_PARMS;

typedef struct MCI_SEEK_PARMS {
    DWORD_PTR dwCallback;
    DWORD dwTo;
} MCI_SEEK_PARMS;

/* Told how a MCI_PLAY given MCI_NOTIFY ended: callbackData is the dwCallback of its
 * parameter block, notifyCode one of MCI_NOTIFY_..., device the device id. Runs on the
 * playback's own worker thread, never on the thread that sent the command: a program
 * with a user interface forwards it to its UI thread. It may send MCI commands, also to
 * the same device (to play the next track, say). */
typedef void (*MCI_NOTIFY_CALLBACK)(DWORD_PTR callbackData, UINT notifyCode, MCIDEVICEID device);
/* One callback for the process; null turns notifications off. */
MCI_API void mciSetNotifyCallback(MCI_NOTIFY_CALLBACK callback);

MCI_API MCIERROR mciSendCommandA(MCIDEVICEID device, UINT message, DWORD_PTR flags,
                                 DWORD_PTR params);
/* Writes the text of an MCI error into buffer (zero-terminated, cut to length).
 * Returns 1 when the code is known, 0 otherwise (the buffer then holds a generic text). */
MCI_API int mciGetErrorStringA(MCIERROR error, char* buffer, UINT length);

#ifdef __cplusplus
}
#endif

#endif /* SV_MCI_H */
