// One MMC command each: send it through the engine and parse the answer. A false return leaves
// the reason in device.LastFailure().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "burnlib/mmc/MmcDevice.h"
#include "burnlib/mmc/Parsers.h"

namespace burnlib::mmc {

bool Identify(MmcDevice& device, InquiryData* out);
// Unit attentions (medium changed, reset) are retried; true = a medium is ready.
bool TestUnitReady(MmcDevice& device);
// The same before a write or a close: a drive still busy with earlier work is waited for, up to
// limitSeconds (see MmcDevice::WaitWhileBusy).
bool WaitUntilReady(MmcDevice& device, uint32_t limitSeconds);
// Every feature, the header first and then the announced length (up to the transfer limit).
bool ReadConfiguration(MmcDevice& device, Configuration* out);
bool ReadDiscInformation(MmcDevice& device, DiscInformation* out);
bool ReadTrackInformation(MmcDevice& device, uint8_t addressType, uint32_t value,
                          TrackInformation* out);
bool ReadToc(MmcDevice& device, Toc* out);
bool ReadFullToc(MmcDevice& device, FullToc* out);
bool ReadAtip(MmcDevice& device, Atip* out);
// MODE SENSE(10) of one page: the whole reply, the page's offset in it and its length.
bool ReadModePage(MmcDevice& device, uint8_t page, uint8_t pageControl,
                  std::vector<uint8_t>* reply, size_t* offset, size_t* pageLength);
// The capabilities page as it is now (its speeds included); see MmcDevice::ReadDriveCapabilities
// for the fields that never change.
bool ReadCapabilities(MmcDevice& device, Capabilities* out);
// READ CAPACITY: the last recorded block.
bool ReadCapacity(MmcDevice& device, uint32_t* lastLba);

}  // namespace burnlib::mmc
