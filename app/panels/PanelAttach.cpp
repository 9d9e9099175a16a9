#include "app/panels/PanelAttach.h"

#include <QByteArray>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>

#include <memory>

#include "station/GroundStation.h"
#include "app/mainframe/MainFrame.h"
#include "app/panels/FlightDataPage.h"
#include "app/panels/OtherDataPage.h"
#include "panels/PanelTexts.h"

namespace orvex {

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray& record)
{
    return {reinterpret_cast<const std::uint8_t*>(record.constData()),
            static_cast<std::size_t>(record.size())};
}

} // namespace

SPanelSet attachPanels(CMainFrame& frame, CGroundStation& station,
                       CFlightControlPanel::ClickPointSource clickPointSource)
{
    SPanelSet set;
    set.control = new CFlightControlPanel(station);
    if (clickPointSource) set.control->setClickPointSource(std::move(clickPointSource));
    set.flightData = new CFlightDataPage;
    set.otherData = new COtherDataPage;
    frame.setInstrumentPanel(set.control);
    frame.setFlightDataPage(0, set.flightData);
    frame.setFlightDataPage(1, set.otherData);
    frame.setTargetWaypointBox(set.control->targetInput()); // Alt: where a target number is typed

    QPointer<CFlightControlPanel> control = set.control;
    QPointer<CFlightDataPage> flightData = set.flightData;
    QPointer<COtherDataPage> otherData = set.otherData;
    QPointer<QTabWidget> tabs = frame.flightDataTabs();
    auto anyShown = std::make_shared<bool>(false);

    const auto refreshPage = [=](std::span<const std::uint8_t> record) {
        const int selected = tabs ? tabs->currentIndex() : 0;
        if (selected == 0 && flightData)
            flightData->refresh(record);
        else if (selected == 1 && otherData)
            otherData->refresh(record);
    };

    QObject::connect(&frame, &CMainFrame::telemetryUpdated, set.control,
                     [=](const QByteArray& record, const SAircraftMarker&) {
                         const auto bytes = bytesOf(record);
                         if (bytes.size() != kPanelRecordSize) return;
                         *anyShown = true;
                         if (control) control->refresh(bytes);
                         refreshPage(bytes);
                     });
    QObject::connect(&frame, &CMainFrame::telemetryStaleChanged, set.control, [=](bool stale) {
        if (control) control->setStale(stale);
        if (flightData) flightData->setStale(stale);
        if (otherData) otherData->setStale(stale);
    });
    if (tabs) {
        QObject::connect(tabs, &QTabWidget::currentChanged, set.control, [=, &station](int) {
            if (*anyShown) refreshPage(station.currentRecord().bytes());
        });
    }
    return set;
}

} // namespace orvex
