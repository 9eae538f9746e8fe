// Entry points that ask a drive about itself and its disc.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/Registry.h"
#include "burnlib/common/Msf.h"
#include "burnlib/mmc/Commands.h"
#include "burnlib/mmc/DiscQueries.h"
#include "burnlib/mmc/MediaSupport.h"
#include "burnlib/mmc/Profiles.h"
#include "burnlib/mmc/WriteModes.h"

using namespace burnlib;

namespace {

std::atomic<bool> g_fastToc{false};

void PutMsf(int32_t lba, uint8_t* msf) {
    const Msf m = LbaToMsf(lba);
    msf[0] = m.m;
    msf[1] = m.s;
    msf[2] = m.f;
}

}  // namespace

extern "C" {

uint32_t StarBurn_CdvdBurnerGrabber_GetDeviceInformation(STARBURN_GRABBER grabber, char* vendor,
                                                         char* product, char* revision,
                                                         uint32_t* bufferSizeKB) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetDeviceInformation", grabber, ErrorOutputs(),
                     [&](DriveObject& drive) {
                         CopyText(vendor, STARBURN_ID_TEXT_SIZE, drive.identity.vendor);
                         CopyText(product, STARBURN_ID_TEXT_SIZE, drive.identity.product);
                         CopyText(revision, STARBURN_ID_TEXT_SIZE, drive.identity.revision);
                         if (bufferSizeKB != nullptr) *bufferSizeKB = drive.device.BufferSizeKB();
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_TestUnitReady(STARBURN_GRABBER grabber, char* exceptionText,
                                                  uint32_t exceptionTextSize,
                                                  uint32_t* systemError,
                                                  STARBURN_FAILURE_RECORD* failure) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_TestUnitReady", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [](DriveObject& drive) { return mmc::TestUnitReady(drive.device); });
}

int32_t StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(STARBURN_GRABBER grabber) {
    int32_t type = mmc::kDiscUnknown;
    DriveCall("StarBurn_CdvdBurnerGrabber_GetInsertedDiscType", grabber, ErrorOutputs(),
              [&](DriveObject& drive) {
                  type = mmc::InsertedDiscType(drive.device);
                  return true;
              });
    return type;
}

void StarBurn_SetFastReadTOC(uint32_t fast) {
    ApiStatistics::CountCall("StarBurn_SetFastReadTOC");
    g_fastToc.store(fast != 0);
}

uint32_t StarBurn_CdvdBurnerGrabber_GetTOCInformation(STARBURN_GRABBER grabber,
                                                      char* exceptionText,
                                                      uint32_t exceptionTextSize,
                                                      uint32_t* systemError,
                                                      STARBURN_FAILURE_RECORD* failure,
                                                      STARBURN_TOC_INFORMATION* toc) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (toc == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetTOCInformation");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_GetTOCInformation: no record");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetTOCInformation", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::TableOfContents t;
                         if (!mmc::ReadTableOfContents(drive.device, g_fastToc.load(), &t)) return false;
                         auto r = std::make_unique<STARBURN_TOC_INFORMATION>();
                         std::memset(r.get(), 0, sizeof *r);
                         r->m_firstTrack = t.firstTrack;
                         r->m_lastTrack = t.lastTrack;
                         r->m_firstSession = t.firstSession;
                         r->m_lastSession = t.lastSession;
                         r->m_leadOutLBA = t.leadOut;
                         r->m_discStatus = t.discStatus;
                         const size_t count =
                             std::min<size_t>(t.tracks.size(), STARBURN_MAX_TOC_TRACKS);
                         r->m_trackCount = static_cast<uint8_t>(std::min<size_t>(count, 255));
                         for (size_t k = 0; k < r->m_trackCount; ++k) {
                             const mmc::TocTrack& s = t.tracks[k];
                             STARBURN_TOC_TRACK& e = r->m_tracks[k];
                             e.m_session = s.session;
                             e.m_adrControl = s.adrControl;
                             e.m_trackNumber = s.number;
                             e.m_startLBA = s.start;
                             PutMsf(s.start, e.m_startMSF);
                             e.m_endLBA = s.end;
                             PutMsf(s.end, e.m_endMSF);
                             e.m_isData = s.isData ? 1 : 0;
                             e.m_dataMode = s.dataMode;
                             e.m_blockSize = s.blockSize;
                             e.m_sizeBlocks = static_cast<uint32_t>(
                                 static_cast<int64_t>(s.end) - static_cast<int64_t>(s.start));
                         }
                         std::memcpy(toc, r.get(), sizeof *toc);
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_GetTrackInformation(STARBURN_GRABBER grabber,
                                                        char* exceptionText,
                                                        uint32_t exceptionTextSize,
                                                        uint32_t* systemError,
                                                        STARBURN_FAILURE_RECORD* failure,
                                                        uint8_t trackNumber,
                                                        STARBURN_TRACK_INFORMATION* track) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (track == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetTrackInformation");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_GetTrackInformation: no record");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetTrackInformation", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::TrackInformation t;
                         if (!mmc::ReadTrack(drive.device, trackNumber, &t)) return false;
                         STARBURN_TRACK_INFORMATION r;
                         std::memset(&r, 0, sizeof r);
                         r.m_trackNumber = t.trackNumber;
                         r.m_sessionNumber = t.sessionNumber;
                         r.m_trackMode = t.trackMode;
                         r.m_dataMode = t.dataMode;
                         r.m_isBlank = t.blank ? 1 : 0;
                         r.m_isWritable = t.nwaValid && !t.damage ? 1 : 0;
                         r.m_nextWritable = static_cast<uint32_t>(t.nextWritable);
                         r.m_startLBA = t.start;
                         r.m_freeBlocks = t.freeBlocks;
                         r.m_trackSize = t.size;
                         *track = r;
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(
    STARBURN_GRABBER grabber, STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS* formats) {
    // The caller's size field says how much it can take; a smaller record is not ours to fill.
    if (formats == nullptr || formats->m_size < sizeof(STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS)) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats");
        return STARBURN_ERROR_INVALID_PARAMETER;
    }
    return DriveCall(
        "StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats", grabber, ErrorOutputs(),
        [&](DriveObject& drive) {
            mmc::MediaSupport m;
            if (!mmc::ReadMediaSupport(drive.device, &m)) return false;
            STARBURN_ADVANCED_SUPPORTED_MEDIA_FORMATS r;
            std::memset(&r, 0, sizeof r);
            r.m_size = formats->m_size;
            r.m_cdRomRead = m.cdRomRead;
            r.m_cdRRead = m.cdRRead;
            r.m_cdRWrite = m.cdRWrite;
            r.m_cdRwRead = m.cdRwRead;
            r.m_cdRwWrite = m.cdRwWrite;
            r.m_dvdRomRead = m.dvdRomRead;
            r.m_dvdRRead = m.dvdRRead;
            r.m_dvdRWrite = m.dvdRWrite;
            r.m_dvdRDlRead = m.dvdRDlRead;
            r.m_dvdRDlWrite = m.dvdRDlWrite;
            r.m_dvdRwRead = m.dvdRwRead;
            r.m_dvdRwWrite = m.dvdRwWrite;
            r.m_dvdRwDlRead = m.dvdRwDlRead;
            r.m_dvdRwDlWrite = m.dvdRwDlWrite;
            r.m_dvdRamRead = m.dvdRamRead;
            r.m_dvdRamWrite = m.dvdRamWrite;
            r.m_dvdPlusRwRead = m.dvdPlusRwRead;
            r.m_dvdPlusRwWrite = m.dvdPlusRwWrite;
            r.m_dvdPlusRwDlRead = m.dvdPlusRwDlRead;
            r.m_dvdPlusRwDlWrite = m.dvdPlusRwDlWrite;
            r.m_dvdPlusRRead = m.dvdPlusRRead;
            r.m_dvdPlusRWrite = m.dvdPlusRWrite;
            r.m_dvdPlusRDlRead = m.dvdPlusRDlRead;
            r.m_dvdPlusRDlWrite = m.dvdPlusRDlWrite;
            r.m_bdRomRead = m.bdRomRead;
            r.m_bdRRead = m.bdRRead;
            r.m_bdRWrite = m.bdRWrite;
            r.m_bdReRead = m.bdReRead;
            r.m_bdReWrite = m.bdReWrite;
            r.m_hdDvdRomRead = m.hdDvdRomRead;
            r.m_hdDvdRRead = m.hdDvdRRead;
            r.m_hdDvdRWrite = m.hdDvdRWrite;
            r.m_hdDvdRamRead = m.hdDvdRamRead;
            r.m_hdDvdRamWrite = m.hdDvdRamWrite;
            r.m_hdDvdRwRead = m.hdDvdRwRead;
            r.m_hdDvdRwWrite = m.hdDvdRwWrite;
            std::memcpy(formats, &r, sizeof r);
            return true;
        });
}

uint32_t StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
    STARBURN_GRABBER grabber, char* exceptionText, uint32_t exceptionTextSize,
    uint32_t* systemError, STARBURN_FAILURE_RECORD* failure, uint8_t* tao, uint8_t* sao,
    uint8_t* daoPQ, uint8_t* daoRawPW) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    if (tao == nullptr || sao == nullptr || daoPQ == nullptr || daoRawPW == nullptr) {
        ApiStatistics::CountCall("StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes");
        return errors.Fail(STARBURN_ERROR_INVALID_PARAMETER,
                           "StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes: missing output");
    }
    return DriveCall("StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::WriteModes w;
                         if (!mmc::ProbeWriteModes(drive.device, &w)) return false;
                         *tao = w.tao;
                         *sao = w.sao;
                         *daoPQ = w.rawPQ;
                         *daoRawPW = w.rawPW;
                         return true;
                     });
}

}  // extern "C"
