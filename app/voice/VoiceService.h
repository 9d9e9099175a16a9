#pragma once
// The voice announcer of the desktop program with its engine: created once at start-up by the
// application object (its child), it reads the Voice settings, hears every applied record and is
// ticked by the main frame's timer 3 through the ground station.

#include <QObject>

#include "app/voice/QtSpeechEngine.h"
#include "voice/VoiceAnnouncer.h"

namespace orvex {
class CGroundStation;
}

class CVoiceService : public QObject {
    Q_OBJECT
public:
    CVoiceService(orvex::CGroundStation& station, QObject* parent = nullptr);

    orvex::CVoiceAnnouncer& announcer() { return m_announcer; }
    CQtSpeechEngine& engine() { return m_engine; }

private:
    CQtSpeechEngine m_engine;
    orvex::CVoiceAnnouncer m_announcer;
};
