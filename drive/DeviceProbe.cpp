// The device information probe: fills one record of the scanner's array from the drive.
#include <cstdio>
#include <cstring>

#include "drive/DeviceProbe.h"
#include "drive/DriveObject.h"
#include "drive/SpeedList.h"
#include "drive/StarBurn.h"

namespace {
constexpr size_t kDesignationBufferSize = 1024;
constexpr size_t kDosTargetBufferSize = 512;
constexpr size_t kAddressNamePrefixLength = 4;
constexpr int64_t kCapacityBlockSize = 2048;
constexpr uint32_t kBytesPerCdSecond = 153600;  // 75 blocks of 2048 bytes: one second at 1x
constexpr uint8_t kInvisibleTrack = 255;

// Recorded and free capacity from the track that would be written next and the table of
// contents. An appendable disc keeps the track's figures; a closed one is the sum of its tracks
// with nothing free.
void ReadCapacity(DEVICE_RECORD& r) {
    r.m_usedBytes = 0;
    r.m_freeBytes = 0;
    STARBURN_TOC_INFORMATION toc;
    STARBURN_TRACK_INFORMATION track;
    std::memset(&toc, 0, sizeof(toc));
    std::memset(&track, 0, sizeof(track));

    LibraryErrorOutputs errors;
    StarBurn_SetFastReadTOC(1);
    const bool tocValid =
        StarBurn_CdvdBurnerGrabber_GetTOCInformation(r.m_grabber, errors.m_text,
                                                     sizeof(errors.m_text), &errors.m_systemError,
                                                     &errors.m_failure, &toc) == STARBURN_OK;
    if (!tocValid) errors.Clear();

    if (StarBurn_CdvdBurnerGrabber_GetTrackInformation(
            r.m_grabber, errors.m_text, sizeof(errors.m_text), &errors.m_systemError,
            &errors.m_failure, kInvisibleTrack, &track) == STARBURN_OK) {
        r.m_recordedBlocks = track.m_startLBA;
        r.m_appendable = track.m_isWritable != 0;
        r.m_freeBytes = static_cast<int64_t>(track.m_freeBlocks) * kCapacityBlockSize;
        r.m_usedBytes = static_cast<int64_t>(track.m_startLBA) * kCapacityBlockSize;
        r.m_isBlank = track.m_startLBA == 0;
        if (r.m_appendable) return;
    }

    if (tocValid) {
        r.m_usedBytes = 0;
        r.m_freeBytes = 0;
        const unsigned count = toc.m_trackCount;  // one byte: never beyond the record's entries
        for (unsigned k = 0; k < count; ++k) {
            const STARBURN_TOC_TRACK& t = toc.m_tracks[k];
            // The block difference is 32-bit, computed without signed overflow.
            const int32_t blocks = static_cast<int32_t>(static_cast<uint32_t>(t.m_endLBA) -
                                                        static_cast<uint32_t>(t.m_startLBA));
            r.m_usedBytes += static_cast<int64_t>(blocks) * static_cast<int64_t>(t.m_blockSize);
        }
    }
}

// The volume label is asked only of a drive letter's root ("F:\": the backslash is what makes it
// the root). An empty designation would name the current directory's volume, and a device name
// that is not a path names nothing; the label then stays empty.
bool IsDriveLetter(const char* designation) {
    const char c = designation[0];
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && designation[1] == ':' &&
           designation[2] == '\0';
}

void CopyText(char* target, size_t size, const char* text) {
    std::snprintf(target, size, "%s", text);
}

// The drive letter whose DOS device is this drive, or the library's name for an addressed drive.
// A designation that does not fit m_drive is no drive letter: it is left empty rather than cut,
// since a cut one would name some other path.
void FindDriveDesignation(const DEVICE_RECORD& r, const DriveSystemCalls& system,
                          char* designation, size_t size) {
    std::memset(designation, 0, size);
    if (r.m_accessKind == kAccessByAddress) {
        char name[kDesignationBufferSize] = {};
        if (StarBurn_GetDeviceNameByDeviceAddress(r.m_address[1], r.m_address[2], r.m_address[3],
                                                  r.m_address[4], name) != STARBURN_OK) {
            return;
        }
        name[sizeof(name) - 1] = '\0';
        if (std::strlen(name) <= kAddressNamePrefixLength) return;
        CopyText(designation, size, name + kAddressNamePrefixLength);
    } else if (r.m_accessKind == kAccessByName) {
        char target[sizeof(r.m_deviceName) + 16];
        std::snprintf(target, sizeof(target), "\\Device\\%s", r.m_deviceName);
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            const char dosName[3] = {letter, ':', '\0'};
            char answer[kDosTargetBufferSize] = {};
            if (system.queryDosDevice(dosName, answer, kDosTargetBufferSize - 1) == 0) continue;
            if (std::strcmp(answer, target) == 0) {
                CopyText(designation, size, dosName);
                return;
            }
        }
    }
}

// Identity, drive letter, medium, capacity, media formats and write methods, over one drive
// object that is released before the speed lists open their own.
bool DescribeDrive(DEVICE_RECORD& r, const DriveSystemCalls& system) {
    LibraryErrorOutputs errors;
    ScopedDriveObject drive(r, errors);
    if (!drive) return false;

    StarBurn_CdvdBurnerGrabber_GetDeviceInformation(r.m_grabber, r.m_vendor, r.m_product,
                                                    r.m_revision, &r.m_deviceInfoValue);
    r.m_vendor[sizeof(r.m_vendor) - 1] = '\0';
    r.m_product[sizeof(r.m_product) - 1] = '\0';
    r.m_revision[sizeof(r.m_revision) - 1] = '\0';

    char designation[kDesignationBufferSize];
    FindDriveDesignation(r, system, designation, sizeof(designation));
    if (std::strlen(designation) < sizeof(r.m_drive)) {
        CopyText(r.m_drive, sizeof(r.m_drive), designation);
    } else {
        r.m_drive[0] = '\0';
    }

    std::memset(r.m_volumeLabel, 0, sizeof(r.m_volumeLabel));
    if (IsDriveLetter(r.m_drive)) {
        const char root[4] = {r.m_drive[0], ':', '\\', '\0'};
        if (!system.getVolumeInformation(root, r.m_volumeLabel, sizeof(r.m_volumeLabel), nullptr,
                                           nullptr, nullptr, nullptr, 0)) {
            std::memset(r.m_volumeLabel, 0, sizeof(r.m_volumeLabel));
        }
        r.m_volumeLabel[sizeof(r.m_volumeLabel) - 1] = '\0';
    }

    errors.Clear();
    r.m_discType = kDiscTypeNoDisc;
    if (StarBurn_CdvdBurnerGrabber_TestUnitReady(r.m_grabber, errors.m_text, sizeof(errors.m_text),
                                                 &errors.m_systemError,
                                                 &errors.m_failure) == STARBURN_OK) {
        r.m_discType = StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(r.m_grabber);
    }
    if (const char* name = MediaNameForDiscType(r.m_discType)) {
        CopyText(r.m_mediaName, sizeof(r.m_mediaName), name);
    }
    r.m_isDvdMedia = IsDvdDiscType(r.m_discType);

    errors.Clear();
    if (r.m_discType == kDiscTypeNoDisc) {
        r.m_sizeText[0] = '\0';
    } else {
        ReadCapacity(r);
        SetSizeText(r);
        r.m_freeSeconds = static_cast<uint32_t>(r.m_freeBytes) / kBytesPerCdSecond;
    }

    errors.Clear();
    r.m_mediaFormats.m_size = sizeof(r.m_mediaFormats);
    StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(r.m_grabber, &r.m_mediaFormats);

    uint8_t tao = 0, sao = 0, daoPQ = 0, daoRawPW = 0;
    if (StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
            r.m_grabber, errors.m_text, sizeof(errors.m_text), &errors.m_systemError,
            &errors.m_failure, &tao, &sao, &daoPQ, &daoRawPW) == STARBURN_OK) {
        r.m_tao = tao != 0;
        r.m_sao = sao != 0;
        r.m_daoPQ = daoPQ != 0;
        r.m_daoRawPW = daoRawPW != 0;
    }

    return true;
}

}  // namespace

bool ProbeDeviceRecord(DEVICE_RECORD& r, const DriveSystemCalls& system) {
    if (!DescribeDrive(r, system)) return false;
    BuildSpeedList(r.m_writeSpeeds, r, false);
    BuildSpeedList(r.m_readSpeeds, r, true);
    return true;
}
