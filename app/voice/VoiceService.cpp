#include "app/voice/VoiceService.h"

#include "station/GroundStation.h"
#include "station/VoiceHookup.h"

CVoiceService::CVoiceService(orvex::CGroundStation& station, QObject* parent)
    : QObject(parent), m_engine(this), m_announcer(&m_engine)
{
    orvex::attachVoiceAnnouncer(station, m_announcer);
}
