#include "station/VoiceHookup.h"

#include "station/GroundStation.h"
#include "voice/VoiceAnnouncer.h"

namespace orvex {

void attachVoiceAnnouncer(CGroundStation& station, CVoiceAnnouncer& announcer)
{
    announcer.initialise(loadVoiceSettings(station.settings()));
    CGroundStation* s = &station;
    CVoiceAnnouncer* a = &announcer;
    station.addRecordHook([s, a](const CTelemetryRecord& record) {
        // The divisor is the station's: read at start and again when the waypoint options apply.
        a->setFenPin(s->fenPin());
        a->applyRecord(record);
    });
    station.setVoiceTickHook([a] { a->tick(); });
    station.addLinkChangeHook([a](bool lost) { a->linkStateChanged(lost); });
}

} // namespace orvex
