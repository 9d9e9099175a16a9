#include "voice/VoiceService.h"

#include "app/GroundStation.h"
#include "voice/VoiceHookup.h"

CVoiceService::CVoiceService(orvex::CGroundStation& station, QObject* parent)
    : QObject(parent), m_engine(this), m_announcer(&m_engine)
{
    orvex::attachVoiceAnnouncer(station, m_announcer);
}
