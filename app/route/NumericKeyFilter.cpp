#include "route/NumericKeyFilter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace orvex {

bool numericFieldAcceptsKey(int key, bool allowPeriod)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return true;
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Control:
    case Qt::Key_C:
    case Qt::Key_V:
    // Dialog navigation, not text input.
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Period:
        return allowPeriod;
    default:
        return false;
    }
}

void CNumericKeyFilter::install(QWidget* field, bool allowPeriod)
{
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    field->installEventFilter(new CNumericKeyFilter(allowPeriod, field));
}

bool CNumericKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!numericFieldAcceptsKey(key->key(), m_allowPeriod))
            return true;
        // Ctrl+C and Ctrl+V are the only shortcuts; a plain C or V types nothing.
        if ((key->key() == Qt::Key_C || key->key() == Qt::Key_V) && !(key->modifiers() & Qt::ControlModifier))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orvex
