#pragma once
// Puts the voice announcer on the ground station: it takes its settings from the station's
// settings file, hears every record the station applies (live or replayed) and is ticked by the
// station's voice tick (the main frame's timer 3).

namespace orvex {

class CGroundStation;
class CVoiceAnnouncer;

// The announcer must outlive the station's use of it (both live as long as the program).
void attachVoiceAnnouncer(CGroundStation& station, CVoiceAnnouncer& announcer);

} // namespace orvex
