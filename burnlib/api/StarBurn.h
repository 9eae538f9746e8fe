// The disc-burning library's public contract: what the program calls, all of it. Our own
// implementation is the rest of burnlib/. Results: 0 = success, anything else fails.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef void* STARBURN_GRABBER;

// reason 10: data1 -> STARBURN_DEVICE_ADDRESS; reason 12: data1 -> int64 total, data2 -> int64 done.
typedef void (*PSTARBURN_CALLBACK)(uint32_t reason, void* context, void* data1, void* data2);

enum : uint32_t {
    STARBURN_CALLBACK_REASON_DEVICE_FOUND = 10,
    STARBURN_CALLBACK_REASON_PROGRESS = 12,
};

enum : uint32_t {
    STARBURN_OK = 0,
    STARBURN_ERROR_INVALID_PARAMETER = 1,
    STARBURN_ERROR_NOT_STARTED = 2,
    STARBURN_ERROR_DEVICE_NOT_FOUND = 3,
    STARBURN_ERROR_SYSTEM = 4,        // the operating system refused (system error filled)
    STARBURN_ERROR_SCSI = 5,          // the drive answered with CHECK CONDITION (sense filled)
    STARBURN_ERROR_CANCELLED = 6,
    STARBURN_ERROR_BAD_RESPONSE = 7,  // the drive's answer could not be parsed
    STARBURN_ERROR_NOT_SUPPORTED = 8,
};

enum : uint32_t { STARBURN_DEVICE_TYPE_CDVD = 5 };
enum : uint32_t { STARBURN_TEXT_SIZE = 1024, STARBURN_ID_TEXT_SIZE = 260 };

#pragma pack(push, 1)

// Five bytes as the device search reports them: {unused, port, bus, target, LUN}.
struct STARBURN_DEVICE_ADDRESS {
    uint8_t m_unused;
    uint8_t m_port;
    uint8_t m_bus;
    uint8_t m_target;
    uint8_t m_lun;
};

// What went wrong in the last failing command of a call.
struct STARBURN_FAILURE_RECORD {
    uint8_t m_operationCode;  // CDB byte 0 of the failing command
    uint8_t m_scsiStatus;
    uint8_t m_senseKey;
    uint8_t m_asc;
    uint8_t m_ascq;
    uint8_t m_cdbLength;
    uint8_t m_cdb[16];
    uint8_t m_sense[32];
};

// Media the drive handles: a size field the caller sets, then one flag byte per (medium, read/write).
// Byte positions below count from the start of the record, size field included.
struct STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS {
    uint32_t m_size;            // 0..3, set to sizeof before the query
    uint8_t m_cdRomRead;        // 4
    uint8_t m_cdRRead;          // 5
    uint8_t m_cdRWrite;         // 6
    uint8_t m_cdRwRead;         // 7
    uint8_t m_cdRwWrite;        // 8
    uint8_t m_dvdRomRead;       // 9
    uint8_t m_dvdRRead;         // 10
    uint8_t m_dvdRWrite;        // 11
    uint8_t m_dvdRDlRead;       // 12
    uint8_t m_dvdRDlWrite;      // 13
    uint8_t m_dvdRwRead;        // 14
    uint8_t m_dvdRwWrite;       // 15
    uint8_t m_dvdRwDlRead;      // 16
    uint8_t m_dvdRwDlWrite;     // 17
    uint8_t m_dvdRamRead;       // 18
    uint8_t m_dvdRamWrite;      // 19
    uint8_t m_dvdPlusRwRead;    // 20
    uint8_t m_dvdPlusRwWrite;   // 21
    uint8_t m_dvdPlusRwDlRead;  // 22
    uint8_t m_dvdPlusRwDlWrite; // 23
    uint8_t m_dvdPlusRRead;     // 24
    uint8_t m_dvdPlusRWrite;    // 25
    uint8_t m_dvdPlusRDlRead;   // 26
    uint8_t m_dvdPlusRDlWrite;  // 27
    uint8_t m_bdRomRead;        // 28
    uint8_t m_bdRRead;          // 29
    uint8_t m_bdRWrite;         // 30
    uint8_t m_bdReRead;         // 31
    uint8_t m_bdReWrite;        // 32
    uint8_t m_hdDvdRomRead;     // 33
    uint8_t m_hdDvdRRead;       // 34
    uint8_t m_hdDvdRWrite;      // 35
    uint8_t m_hdDvdRamRead;     // 36
    uint8_t m_hdDvdRamWrite;    // 37
    uint8_t m_hdDvdRwRead;      // 38
    uint8_t m_hdDvdRwWrite;     // 39
    uint8_t m_reserved[6];      // 40..45
};

// One track of the table of contents (34 bytes).
struct STARBURN_TOC_TRACK {
    uint8_t m_session;          // 0
    uint8_t m_adrControl;       // 1: ADR high nibble, CONTROL low nibble, as READ TOC reports
    uint8_t m_trackNumber;      // 2
    int32_t m_startLBA;         // 3..6
    uint8_t m_startMSF[3];      // 7..9
    int32_t m_endLBA;           // 10..13, first block after the track
    uint8_t m_endMSF[3];        // 14..16
    uint8_t m_isData;           // 17
    uint8_t m_dataMode;         // 18: 1, 2, or 0 for audio/unknown
    uint8_t m_reserved[7];      // 19..25
    uint32_t m_blockSize;       // 26..29: user bytes per block
    uint32_t m_sizeBlocks;      // 30..33
};

enum : uint32_t { STARBURN_MAX_TOC_TRACKS = 262 };

// Table of contents (8923 bytes).
struct STARBURN_TOC_INFORMATION {
    uint8_t m_firstTrack;       // 0
    uint8_t m_lastTrack;        // 1
    uint8_t m_firstSession;     // 2
    uint8_t m_lastSession;      // 3
    int32_t m_leadOutLBA;       // 4..7
    uint8_t m_discStatus;       // 8: 0 blank, 1 appendable, 2 finalized, 3 other
    uint8_t m_reserved1;        // 9
    uint8_t m_trackCount;       // 10
    uint8_t m_reserved2;        // 11
    STARBURN_TOC_TRACK m_tracks[STARBURN_MAX_TOC_TRACKS];  // 12 + 34 * k
    uint8_t m_reserved3[3];
};

// The track that would be written next, or any numbered track (28 bytes).
struct STARBURN_TRACK_INFORMATION {
    uint32_t m_trackNumber;     // 0..3
    uint32_t m_sessionNumber;   // 4..7
    uint8_t m_trackMode;        // 8: Q control nibble
    uint8_t m_dataMode;         // 9
    uint8_t m_isBlank;          // 10
    uint8_t m_isWritable;       // 11: the disc can still be written; the figures below stand
    uint32_t m_nextWritable;    // 12..15
    int32_t m_startLBA;         // 16..19
    int32_t m_freeBlocks;       // 20..23
    uint32_t m_trackSize;       // 24..27
};

// The image to write with Session-At-Once: one Mode 1 data track (29108 bytes). Every byte the
// library does not read must be zero.
struct STARBURN_SESSION_LAYOUT {
    uint32_t m_trackCount;      // 0..3: must be 1
    uint8_t m_reserved1[15];    // 4..18
    char m_imagePath[260];      // 19..278: NUL-terminated
    uint8_t m_reserved2[28829]; // 279..29107
};

// The image to write with either Disc-At-Once method: one Mode 1 data track (27504 bytes).
struct STARBURN_DISC_LAYOUT {
    uint32_t m_trackCount;      // 0..3: must be 1
    uint8_t m_reserved1[8];     // 4..11
    char m_imagePath[260];      // 12..271: NUL-terminated
    uint8_t m_reserved2[27232]; // 272..27503
};

#pragma pack(pop)

static_assert(sizeof(STARBURN_DEVICE_ADDRESS) == 5, "device address layout");
static_assert(sizeof(STARBURN_FAILURE_RECORD) == 54, "failure record layout");
static_assert(sizeof(STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS) == 46, "media formats layout");
static_assert(sizeof(STARBURN_TOC_TRACK) == 34, "TOC entry layout");
static_assert(sizeof(STARBURN_TOC_INFORMATION) == 8923, "TOC record layout");
static_assert(sizeof(STARBURN_TRACK_INFORMATION) == 28, "track record layout");
static_assert(sizeof(STARBURN_SESSION_LAYOUT) == 29108, "session layout size");
static_assert(offsetof(STARBURN_SESSION_LAYOUT, m_imagePath) == 19, "session layout path");
static_assert(sizeof(STARBURN_DISC_LAYOUT) == 27504, "disc layout size");
static_assert(offsetof(STARBURN_DISC_LAYOUT, m_imagePath) == 12, "disc layout path");

// Start-up and shut-down of the library. Start-up may be called again after a shut-down.
uint32_t StarBurn_UpStartEx(void);
void StarBurn_DownShut(void);

// Reports every CD/DVD device with reason 10, on the calling thread, before it returns.
uint32_t StarBurn_FindDevice(uint32_t deviceType, uint32_t flags, PSTARBURN_CALLBACK callback,
                             void* context);

// The drive's name for a SCSI address: a four-character prefix, then the name ("\\.\F:").
uint32_t StarBurn_GetDeviceNameByDeviceAddress(uint8_t port, uint8_t bus, uint8_t target,
                                               uint8_t lun, char* name /* 1024 bytes */);

// The error arguments (E) of the drive calls: text buffer and its size, system error, failure.
// A failing call fills them; a successful call clears them (empty text, 0, a zeroed record).
// probing: 1 for a drive object that only answers queries, 0 for one that burns (see Cancel).
uint32_t StarBurn_CdvdBurnerGrabber_Create(STARBURN_GRABBER* grabber, char* exceptionText,
                                           uint32_t exceptionTextSize, uint32_t* systemError,
                                           STARBURN_FAILURE_RECORD* failure,
                                           PSTARBURN_CALLBACK callback, void* context,
                                           uint8_t port, uint8_t bus, uint8_t target, uint8_t lun,
                                           uint32_t probing);

uint32_t StarBurn_CdvdBurnerGrabber_CreateEx(STARBURN_GRABBER* grabber, char* exceptionText,
                                             uint32_t exceptionTextSize, uint32_t* systemError,
                                             STARBURN_FAILURE_RECORD* failure,
                                             PSTARBURN_CALLBACK callback, void* context,
                                             const char* deviceName, uint32_t probing);

// Releases the drive object and sets *grabber to null. Its running call is cancelled, a call
// waiting for it fails, and no call on it succeeds afterwards.
void StarBurn_Destroy(STARBURN_GRABBER* grabber);

// Vendor, product and revision into 260-byte texts; bufferSizeKB = the drive's buffer in KB.
uint32_t StarBurn_CdvdBurnerGrabber_GetDeviceInformation(STARBURN_GRABBER grabber, char* vendor,
                                                         char* product, char* revision,
                                                         uint32_t* bufferSizeKB);

uint32_t StarBurn_CdvdBurnerGrabber_TestUnitReady(STARBURN_GRABBER grabber, char* exceptionText,
                                                  uint32_t exceptionTextSize,
                                                  uint32_t* systemError,
                                                  STARBURN_FAILURE_RECORD* failure);

// Inserted-disc code 0..22 (14 = no disc).
int32_t StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(STARBURN_GRABBER grabber);

// Process-wide: read the table of contents without the slow full-TOC pass.
void StarBurn_SetFastReadTOC(uint32_t fast);

uint32_t StarBurn_CdvdBurnerGrabber_GetTOCInformation(STARBURN_GRABBER grabber,
                                                      char* exceptionText,
                                                      uint32_t exceptionTextSize,
                                                      uint32_t* systemError,
                                                      STARBURN_FAILURE_RECORD* failure,
                                                      STARBURN_TOC_INFORMATION* toc);

// trackNumber 255 asks for the invisible track (the one that would be written next).
uint32_t StarBurn_CdvdBurnerGrabber_GetTrackInformation(STARBURN_GRABBER grabber,
                                                        char* exceptionText,
                                                        uint32_t exceptionTextSize,
                                                        uint32_t* systemError,
                                                        STARBURN_FAILURE_RECORD* failure,
                                                        uint8_t trackNumber,
                                                        STARBURN_TRACK_INFORMATION* track);

uint32_t StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(
    STARBURN_GRABBER grabber, STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS* formats);

// Four one-byte outputs, in this order: TAO, SAO, DAO with PQ, DAO raw with P-W.
uint32_t StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, uint8_t* tao, uint8_t* sao,
    uint8_t* daoPQ, uint8_t* daoRawPW);

// Speeds in KB/s.
uint32_t StarBurn_CdvdBurnerGrabber_GetSpeeds(STARBURN_GRABBER grabber, char* exceptionText,
                                              uint32_t exceptionTextSize, uint32_t* systemError,
                                              STARBURN_FAILURE_RECORD* failure,
                                              uint32_t* currentRead, uint32_t* maximumRead,
                                              uint32_t* currentWrite, uint32_t* maximumWrite);

// 0xFFFF leaves that direction as it is.
uint32_t StarBurn_CdvdBurnerGrabber_SetSpeeds(STARBURN_GRABBER grabber, char* exceptionText,
                                              uint32_t exceptionTextSize, uint32_t* systemError,
                                              STARBURN_FAILURE_RECORD* failure, uint32_t readSpeed,
                                              uint32_t writeSpeed);

enum : uint32_t { STARBURN_SPEED_UNCHANGED = 0xFFFF };

// ---- Writing
// Buffer-underrun protection: *supported = the drive has it, *enabled = it is switched on now.
uint32_t StarBurn_CdvdBurnerGrabber_GetBUP(STARBURN_GRABBER grabber, char* exceptionText,
                                           uint32_t exceptionTextSize, uint32_t* systemError,
                                           STARBURN_FAILURE_RECORD* failure, uint8_t* supported,
                                           uint8_t* enabled);

// enable: 1 switches protection on for the writes that follow, 0 off. Fails where the drive has none.
uint32_t StarBurn_CdvdBurnerGrabber_SetBUP(STARBURN_GRABBER grabber, char* exceptionText,
                                           uint32_t exceptionTextSize, uint32_t* systemError,
                                           STARBURN_FAILURE_RECORD* failure, uint32_t enable);

// Optimum power calibration for the inserted disc at the speed set.
uint32_t StarBurn_CdvdBurnerGrabber_SendOPC(STARBURN_GRABBER grabber, char* exceptionText,
                                            uint32_t exceptionTextSize, uint32_t* systemError,
                                            STARBURN_FAILURE_RECORD* failure);

// A CD-Text title and performer for the next write: item 0 is the disc, 1..99 a track. Kept
// until the drive object goes; written only by the methods and media that can carry CD-Text.
uint32_t StarBurn_CdvdBurnerGrabber_SetCDTextItem(STARBURN_GRABBER grabber, uint32_t item,
                                                  const char* title, const char* performer,
                                                  char* exceptionText, uint32_t exceptionTextSize,
                                                  uint32_t* systemError);

// The write calls. Each writes the image as one data track, reports progress with reason 12 at
// least once a second and at the end, and fails before anything is written when the image is
// empty, larger than the free space, or cannot be opened. Their arguments after the image:
//   dataMode          0: Mode 1, 2048-byte user blocks (an ISO image); nothing else.
//   testWrite         0: write; 1: the drive simulates and the disc stays blank (refused on
//                     media that cannot simulate: DVD+R, DVD+RW, DVD-RAM, BD).
//   multisession      0: the disc is closed when its session is (by the call for Session- and
//                     Disc-At-Once, by CloseSession after Track-At-Once); 1: leave it appendable.
//   copyPermitted     (Disc-At-Once) 0: the track's Q control marks no copy permission; 1: it does.
//   lockTray          1: the tray is locked while the call writes; 0: it is not.
//   bufferMegabytes   1..64: the size of the read-ahead buffer between the file and the drive.
// Another value is refused with STARBURN_ERROR_INVALID_PARAMETER and a description.
enum : uint32_t {
    STARBURN_DATA_MODE_1 = 0,
    STARBURN_MAX_BUFFER_MEGABYTES = 64,
};

// Track-At-Once from the next writable address. The session stays open: CloseSession ends it.
uint32_t StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const char* imagePath,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t lockTray,
    uint32_t bufferMegabytes);

// Session-At-Once (CD, with a cue sheet); on DVD media, the medium's own single-track write.
uint32_t StarBurn_CdvdBurnerGrabber_SessionAtOnce(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const STARBURN_SESSION_LAYOUT* layout,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t lockTray,
    uint32_t bufferMegabytes);

// Disc-At-Once, the host building every block from the lead-in on: raw 2352 + 16-byte P-Q
// subchannel, or raw 2352 + 96-byte P-W subchannel. CD media only.
uint32_t StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const STARBURN_DISC_LAYOUT* layout,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t copyPermitted,
    uint32_t lockTray, uint32_t bufferMegabytes);

uint32_t StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, const STARBURN_DISC_LAYOUT* layout,
    uint32_t dataMode, uint32_t testWrite, uint32_t multisession, uint32_t copyPermitted,
    uint32_t lockTray, uint32_t bufferMegabytes);

// Closes the track and the session Track-At-Once left open, finalizing as the medium needs.
uint32_t StarBurn_CdvdBurnerGrabber_CloseSession(STARBURN_GRABBER grabber, char* exceptionText,
                                                 uint32_t exceptionTextSize, uint32_t* systemError,
                                                 STARBURN_FAILURE_RECORD* failure);

// Unlocks the tray and opens it.
uint32_t StarBurn_CdvdBurnerGrabber_Eject(STARBURN_GRABBER grabber, char* exceptionText,
                                          uint32_t exceptionTextSize, uint32_t* systemError,
                                          STARBURN_FAILURE_RECORD* failure);

// Any thread. The running call on this drive object fails with STARBURN_ERROR_CANCELLED before
// its next command; a cancelled call never succeeds. On a drive object created for burning
// (probing 0) the cancel holds: every later call on it fails too, so a cancel pressed between two
// calls of a burn is never lost. On one created for probing, a cancel while no call runs does
// nothing.
void StarBurn_CdvdBurnerGrabber_Cancel(STARBURN_GRABBER grabber);

}  // extern "C"
