#pragma once

// Work that must happen before the QApplication object exists: the "app" URL scheme of the map
// page and the browser engine's switches. Called by main() and by the widget tests' main().
void orvexPreApplicationSetup();
