#pragma once
// The key rule of the route dialogs' numeric fields: only a typed character that would make the
// field's text a non-number is swallowed. Digits are always taken, the period once in the longitude
// and latitude fields; any other character (a letter, a minus sign, a second period) is swallowed,
// so a minus sign can only be pasted. Keys that type nothing pass: navigation and selection
// (arrows, Home, End, with or without Shift), Backspace, Delete, Tab, Return, Escape, and every
// Ctrl shortcut (Ctrl+A, Ctrl+C, Ctrl+V, ...). Key releases always pass (the dialog stores the
// fields on them).

#include <QObject>
#include <QString>

class QWidget;

namespace orvex {

// Whether `text` (a field's whole text after an edit) is still a number being typed: digits, and
// with `allowPeriod` at most one period.
bool numericFieldAcceptsText(const QString& text, bool allowPeriod);

class CNumericKeyFilter : public QObject {
    Q_OBJECT
public:
    explicit CNumericKeyFilter(bool allowPeriod, QObject* parent = nullptr)
        : QObject(parent), m_allowPeriod(allowPeriod)
    {
    }
    // Installs the rule on a line edit; the field also stops taking input-method text, which would
    // bypass the key presses.
    static void install(QWidget* field, bool allowPeriod);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_allowPeriod;
};

} // namespace orvex
