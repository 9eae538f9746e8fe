#include "burn/BurnSession.h"

#include <cstring>
#include <memory>

#include "app/WizardMessages.h"
#include "drive/DriveObject.h"
#include "framework/Strings.h"
#include "res/resource.h"

BurnParams g_burnParams;
int32_t g_burnPercent = 0;
CCriticalSection g_progressLock;
std::string g_logText;
CCriticalSection g_grabberLock;

void BurnParams::Reset() {
    HANDLE event = m_hBurnEvent;
    *this = BurnParams();
    m_hBurnEvent = event;
}

bool CancelBurnDrive(BurnParams& params) {
    CScopedLock lock(g_grabberLock);
    if (!params.m_burnGrabber) return false;
    StarBurn_CdvdBurnerGrabber_Cancel(params.m_burnGrabber);
    return true;
}

void ReleaseBurnDrive(BurnParams& params) {
    CScopedLock lock(g_grabberLock);
    if (params.m_burnGrabber) StarBurn_Destroy(&params.m_burnGrabber);
    params.m_burnGrabber = nullptr;
}

void BurnProgressCallback(uint32_t reason, void*, void* special1, void* special2) {
    if (reason != STARBURN_CALLBACK_REASON_PROGRESS || !special1 || !special2) return;
    int64_t total = *static_cast<const int64_t*>(special1);
    int64_t done = *static_cast<const int64_t*>(special2);
    // A report without a total says nothing about the share written: the last figure stands.
    if (total == 0) return;
    int64_t percent = done * 100 / total;
    CScopedLock lock(g_progressLock);
    g_burnPercent = static_cast<int32_t>(percent);
}

namespace {

// One run of the worker. Every row is sent and waited for; a page that no longer answers (its
// window is gone because the wizard was closed before the write) ends the run: the drive object
// is released and nothing more is sent.
class BurnRun {
public:
    explicit BurnRun(BurnParams& params) : m_params(params) {}

    UINT Run();

private:
    bool Row(UINT textId, WPARAM kind = LOG_TIMED) {
        g_logText = LoadStr(textId);
        return Send(WM_BURN_LOG, kind);
    }
    bool Send(UINT msg, WPARAM wParam) {
        if (!::SendMessageA(m_params.m_hPageWnd, msg, wParam, 0)) m_pageGone = true;
        return !m_pageGone;
    }
    // The last row of a failed burn; the page releases the drive object when it handles it.
    UINT Fatal(UINT textId) {
        if (!Row(textId, LOG_FATAL)) return Abandon();
        return 0;
    }
    UINT Abandon() {
        ReleaseBurnDrive(m_params);
        return 0;
    }
    bool CreateDrive();
    uint32_t Write();

    BurnParams& m_params;
    LibraryErrorOutputs m_errors;
    bool m_pageGone = false;
};

// Created into a local first: the page may read the reference (to cancel) as soon as it is set.
bool BurnRun::CreateDrive() {
    STARBURN_GRABBER grabber = nullptr;
    const DEVICE_RECORD& device = m_params.m_device;
    uint32_t result;
    if (device.m_accessKind == kAccessByAddress) {
        result = StarBurn_CdvdBurnerGrabber_Create(
            &grabber, m_errors.m_text, sizeof(m_errors.m_text), &m_errors.m_systemError,
            &m_errors.m_failure, BurnProgressCallback, nullptr, device.m_address[1],
            device.m_address[2], device.m_address[3], device.m_address[4], 0);
    } else {
        result = StarBurn_CdvdBurnerGrabber_CreateEx(
            &grabber, m_errors.m_text, sizeof(m_errors.m_text), &m_errors.m_systemError,
            &m_errors.m_failure, BurnProgressCallback, nullptr, device.m_deviceName, 0);
    }
    if (result != STARBURN_OK) return false;
    CScopedLock lock(g_grabberLock);
    m_params.m_burnGrabber = grabber;
    return true;
}

// The write call of the chosen method, with its layout record where it takes one.
uint32_t BurnRun::Write() {
    STARBURN_GRABBER grabber = m_params.m_burnGrabber;
    char* text = m_errors.m_text;
    const uint32_t size = sizeof(m_errors.m_text);
    uint32_t* system = &m_errors.m_systemError;
    STARBURN_FAILURE_RECORD* failure = &m_errors.m_failure;
    const uint32_t test = m_params.m_testMode ? 1 : 0;
    switch (m_params.m_burningMode) {
    case 0:
        return StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
            grabber, text, size, system, failure, m_params.m_imagePath, 0, test, 0, 1, 5);
    case 1: {
        auto layout = std::make_unique<STARBURN_SESSION_LAYOUT>();
        layout->m_trackCount = 1;
        std::memcpy(layout->m_imagePath, m_params.m_imagePath, sizeof(layout->m_imagePath));
        layout->m_imagePath[sizeof(layout->m_imagePath) - 1] = '\0';
        return StarBurn_CdvdBurnerGrabber_SessionAtOnce(grabber, text, size, system, failure,
                                                        layout.get(), 0, test, 0, 1, 5);
    }
    default: {
        auto layout = std::make_unique<STARBURN_DISC_LAYOUT>();
        layout->m_trackCount = 1;
        std::memcpy(layout->m_imagePath, m_params.m_imagePath, sizeof(layout->m_imagePath));
        layout->m_imagePath[sizeof(layout->m_imagePath) - 1] = '\0';
        auto write = m_params.m_burningMode == 2 ? StarBurn_CdvdBurnerGrabber_DiscAtOncePQFromFile
                                                 : StarBurn_CdvdBurnerGrabber_DiscAtOnceRawPWFromFile;
        return write(grabber, text, size, system, failure, layout.get(), 0, test, 0, 0, 1, 5);
    }
    }
}

UINT BurnRun::Run() {
    m_errors.Clear();
    if (!Row(IDS_LOG_STARTED)) return Abandon();
    // A method the drive cannot be asked for is refused before the drive is touched: nothing
    // (not even a power calibration) may be written for a burn that cannot write the image.
    if (m_params.m_burningMode < 0 || m_params.m_burningMode > 3) return Fatal(IDS_LOG_BURN_FAILED);
    if (!CreateDrive()) return Fatal(IDS_LOG_CREATE_FAILED);
    STARBURN_GRABBER grabber = m_params.m_burnGrabber;
    char* text = m_errors.m_text;
    const uint32_t size = sizeof(m_errors.m_text);
    uint32_t* system = &m_errors.m_systemError;
    STARBURN_FAILURE_RECORD* failure = &m_errors.m_failure;

    if (!Row(IDS_LOG_GET_BUP)) return Abandon();
    uint8_t bupSupported = 0, bupEnabled = 0;
    if (StarBurn_CdvdBurnerGrabber_GetBUP(grabber, text, size, system, failure, &bupSupported,
                                          &bupEnabled) != STARBURN_OK)
        return Fatal(IDS_LOG_GET_BUP_FAILED);
    if (!Row(IDS_LOG_GET_BUP_OK)) return Abandon();

    if (!Row(IDS_LOG_SET_BUP)) return Abandon();
    bool bupSet = StarBurn_CdvdBurnerGrabber_SetBUP(grabber, text, size, system, failure, 1) ==
                  STARBURN_OK;
    if (!Row(bupSet ? IDS_LOG_SET_BUP_OK : IDS_LOG_SET_BUP_FAILED)) return Abandon();

    if (!Row(IDS_LOG_SET_SPEEDS)) return Abandon();
    if (StarBurn_CdvdBurnerGrabber_SetSpeeds(grabber, text, size, system, failure,
                                             STARBURN_SPEED_UNCHANGED,
                                             static_cast<uint32_t>(m_params.m_burningSpeed)) !=
        STARBURN_OK)
        return Fatal(IDS_LOG_SPEEDS_FAILED);
    uint32_t currentRead = 0, maximumRead = 0, currentWrite = 0, maximumWrite = 0;
    if (StarBurn_CdvdBurnerGrabber_GetSpeeds(grabber, text, size, system, failure, &currentRead,
                                             &maximumRead, &currentWrite,
                                             &maximumWrite) != STARBURN_OK)
        return Fatal(IDS_LOG_SPEEDS_FAILED);
    if (!Row(IDS_LOG_SPEEDS_OK)) return Abandon();

    if (m_params.m_sendOpc) {
        if (!Row(IDS_LOG_SEND_OPC)) return Abandon();
        if (StarBurn_CdvdBurnerGrabber_SendOPC(grabber, text, size, system, failure) != STARBURN_OK &&
            !Row(IDS_LOG_SEND_OPC_FAILED))
            return Abandon();
    } else if (!Row(IDS_LOG_WRITING)) {
        return Abandon();
    }

    // CD-Text is part of what this burn writes: when it cannot be set the burn ends here, before
    // the write, like every other step whose failure is final.
    if (StarBurn_CdvdBurnerGrabber_SetCDTextItem(grabber, 0, "StarBurnImageCD", "CD-Text", text,
                                                 size, system) != STARBURN_OK)
        return Fatal(IDS_LOG_CDTEXT_FAILED);

    m_errors.Clear();
    if (!Send(WM_BURN_WRITING, 0)) return Abandon();
    ::WaitForSingleObject(m_params.m_hBurnEvent, INFINITE);

    if (Write() != STARBURN_OK) return Fatal(IDS_LOG_BURN_FAILED);

    if (m_params.m_burningMode == 0) {
        if (!m_params.m_testMode) {
            if (!Row(IDS_LOG_CLOSING_SESSION)) return Abandon();
            if (StarBurn_CdvdBurnerGrabber_CloseSession(grabber, text, size, system, failure) !=
                STARBURN_OK)
                return Fatal(IDS_LOG_CLOSE_FAILED);
        }
        if (!Row(IDS_LOG_SESSION_CLOSED)) return Abandon();
    }

    if (!Row(IDS_LOG_BURN_COMPLETED) || !Row(IDS_LOG_EJECT)) return Abandon();
    StarBurn_CdvdBurnerGrabber_Eject(grabber, text, size, system, failure);

    ReleaseBurnDrive(m_params);
    StarBurn_DownShut();
    ::SendNotifyMessageA(m_params.m_hPageWnd, WM_BURN_FINISHED, 0, 0);
    return 1;
}

}  // namespace

UINT BurnThreadProc(void* param) {
    try {
        BurnRun run(*static_cast<BurnParams*>(param));
        return run.Run();
    } catch (...) {
        // Nothing of the burn can be reported any more; the drive object is not left behind.
        ReleaseBurnDrive(*static_cast<BurnParams*>(param));
        return 0;
    }
}
