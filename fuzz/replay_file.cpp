// Any bytes as a flight log file: loading, replay ticks, seeks to arbitrary slider positions, the
// summary and every export must neither crash nor read outside the file.
#include "flightlog/LogExport.h"
#include "flightlog/RecordStore.h"
#include "flightlog/Replay.h"

#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The file lives in memory; the store maps it read-only like any flight log.
    const int fd = memfd_create("orvex-replay-fuzz", 0);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += std::size_t(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    CRecordStore store;
    CReplay replay(store);
    const CReplay::SLoadResult loaded = replay.load(path);
    if (loaded.ok) {
        for (int i = 0; i < 8; ++i)
            replay.tick();
        const int slider = size >= 2 ? int(data[0] | (data[1] << 8)) : 0;
        replay.seek(slider);
        replay.seek(32767);
        replay.tick();
        for (std::size_t i = 0; i < store.count(); ++i)
            store.setTrackAngle(i, 0.0);
        logSummaryJson(summarizeLog(store, size));
        if (std::FILE* sink = std::fopen("/dev/null", "wb")) {
            exportLog(store, ELogExportFormat::Csv, "fuzz", sink);
            exportLog(store, ELogExportFormat::Kml, "fuzz<&>", sink);
            exportLog(store, ELogExportFormat::Gpx, "fuzz", sink);
            std::fclose(sink);
        }
    }
    close(fd);
    return 0;
}
