#pragma once
// The range check of the route dialogs' fields: a field's text gives its value, or the message
// that names the allowed range (the field then gets the focus back and nothing is stored).

#include <QString>

class QLineEdit;
class QWidget;

namespace orvex {

struct SFieldValue {
    bool ok = false;
    double value = 0;
    QString message; // when !ok
};

SFieldValue checkIntField(const QString& text, int min, int max);
SFieldValue checkRealField(const QString& text, double min, double max);

// Reads `edit`; on failure shows the message (parent `dialog`), puts the focus back on the field
// with its text selected and returns false.
bool readIntField(QWidget* dialog, QLineEdit* edit, int min, int max, int& out);
bool readRealField(QWidget* dialog, QLineEdit* edit, double min, double max, double& out);

} // namespace orvex
