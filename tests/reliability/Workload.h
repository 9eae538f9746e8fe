// Scans and burns of the real program code inside one process: the scanner and the burn worker
// over the real library, on virtual recorders a test can fault.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/drive/VirtualDrives.h"

namespace reliability {

// What a burn showed the user: the rows of its log and how it ended.
struct BurnOutcome {
    bool ended = false;      // the worker finished within the time allowed
    bool succeeded = false;  // the worker reported success (the page then shows the success text)
    bool driveReleased = false;  // no drive object of the burn was left behind
    std::vector<std::string> rows;  // every log row, in order
    // Rows sent as the burn's final failure, and whether one was the last row of the log: the
    // page turns the first into the error or cancelled result and gives the user Next.
    int fatalRows = 0;
    bool fatalRowLast = false;
    std::string lastRow() const { return rows.empty() ? std::string() : rows.back(); }
};

// Every command to the CD writer passes this first; an answer given here replaces the drive's.
using Fault = std::function<std::optional<burnlib::ScsiResult>(const burnlib::ScsiRequest&)>;

// A writer (CdRom0, a CD writer unless given) and a DVD writer (CdRom1) on virtual recorders
// under the library for the life of the object.
class Workload {
public:
    explicit Workload(burnlib::Medium medium = drivetest::BlankCdR(),
                      burnlib::DriveModel model = drivetest::CdWriter(drivetest::StandardCdSteps()));
    ~Workload();
    Workload(const Workload&) = delete;
    Workload& operator=(const Workload&) = delete;

    // One scan of every drive, waited for: the number of writers it found, -1 when it did not end.
    int Scan();
    // One whole burn by the burn worker (its steps, with the page's messages answered as the
    // burning page answers them) of `image` on the CD writer in write method `method` (0..3).
    BurnOutcome Burn(int32_t method, const std::string& image);
    // The same with a fresh blank disc of the first kind put in and a small image of the
    // workload's own.
    bool Burn(int32_t method, std::string* why);

    burnlib::VirtualRecorder& CdWriter() { return *m_cdWriter; }
    void SetFault(Fault fault);
    // The drive refuses to be held for this program alone, as when another program holds it.
    void SetExclusiveRefused(bool refused);
    void InsertFreshDisc();
    const std::string& Image() const { return m_image; }

private:
    class FaultTarget;
    std::shared_ptr<drivetest::TestDeviceProvider> m_provider;
    std::shared_ptr<burnlib::VirtualRecorder> m_cdWriter;
    std::shared_ptr<FaultTarget> m_target;
    burnlib::Medium m_freshMedium;
    std::string m_image;
};

// A file of `bytes` bytes in the temporary folder whose every byte tells its position.
std::string MakeTempFile(const std::string& name, uint64_t bytes);

}  // namespace reliability
