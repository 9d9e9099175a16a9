#pragma once
// The key rule of the route dialogs' numeric fields: a key press passes only for the digits,
// Backspace, Delete, Left, Right, Ctrl and the letters C and V (copy and paste); the longitude and
// latitude fields also take the period. Every other key press is swallowed, so a minus sign can
// only be pasted. A C or V without Ctrl is swallowed too: it would only put a letter into a
// number. Tab, Backtab, Return, Enter and Escape still reach the dialog so that it can be
// worked from the keyboard. Key releases always pass (the dialog stores the fields on them).

#include <QObject>

class QKeyEvent;
class QWidget;

namespace orvex {

// Whether a key press is accepted by a numeric field (`allowPeriod` for longitude and latitude).
bool numericFieldAcceptsKey(int key, bool allowPeriod);

class CNumericKeyFilter : public QObject {
    Q_OBJECT
public:
    explicit CNumericKeyFilter(bool allowPeriod, QObject* parent = nullptr)
        : QObject(parent), m_allowPeriod(allowPeriod)
    {
    }
    // Installs the rule on a field; the field also stops taking input-method text, which would
    // bypass the key presses.
    static void install(QWidget* field, bool allowPeriod);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_allowPeriod;
};

} // namespace orvex
