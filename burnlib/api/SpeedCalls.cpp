// Entry points that read and set a drive's speeds.
#include "burnlib/api/ApiStatistics.h"
#include "burnlib/api/Registry.h"
#include "burnlib/mmc/SpeedControl.h"

using namespace burnlib;

extern "C" {

uint32_t StarBurn_CdvdBurnerGrabber_GetSpeeds(STARBURN_GRABBER grabber, char* exceptionText,
                                              uint32_t exceptionTextSize, uint32_t* systemError,
                                              STARBURN_FAILURE_RECORD* failure,
                                              uint32_t* currentRead, uint32_t* maximumRead,
                                              uint32_t* currentWrite, uint32_t* maximumWrite) {
    ErrorOutputs errors(exceptionText, exceptionTextSize, systemError, failure);
    return DriveCall("StarBurn_CdvdBurnerGrabber_GetSpeeds", grabber, errors,
                     [&](DriveObject& drive) {
                         mmc::Speeds s;
                         if (!mmc::ReadSpeeds(drive.device, &s)) return false;
                         if (currentRead != nullptr) *currentRead = s.currentRead;
                         if (maximumRead != nullptr) *maximumRead = s.maximumRead;
                         if (currentWrite != nullptr) *currentWrite = s.currentWrite;
                         if (maximumWrite != nullptr) *maximumWrite = s.maximumWrite;
                         return true;
                     });
}

uint32_t StarBurn_CdvdBurnerGrabber_SetSpeeds(STARBURN_GRABBER grabber, char* exceptionText,
                                              uint32_t exceptionTextSize, uint32_t* systemError,
                                              STARBURN_FAILURE_RECORD* failure, uint32_t readSpeed,
                                              uint32_t writeSpeed) {
    return DriveCall("StarBurn_CdvdBurnerGrabber_SetSpeeds", grabber,
                     ErrorOutputs(exceptionText, exceptionTextSize, systemError, failure),
                     [&](DriveObject& drive) {
                         return mmc::SetSpeeds(drive.device, readSpeed, writeSpeed);
                     });
}

}  // extern "C"
