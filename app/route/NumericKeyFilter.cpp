#include "app/route/NumericKeyFilter.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace orvex {

bool numericFieldAcceptsText(const QString& text, bool allowPeriod)
{
    int periods = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('.'))
            ++periods;
        else if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return periods == 0 || (allowPeriod && periods == 1);
}

void CNumericKeyFilter::install(QWidget* field, bool allowPeriod)
{
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    field->installEventFilter(new CNumericKeyFilter(allowPeriod, field));
}

bool CNumericKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    auto* edit = qobject_cast<QLineEdit*>(watched);
    const QString typed = key->text();
    // Shortcuts and keys that type nothing (navigation, selection, deletion, Tab) pass.
    if (!edit || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) ||
        typed.isEmpty() || !typed.at(0).isPrint())
        return QObject::eventFilter(watched, event);
    QString after = edit->text();
    int at = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        at = edit->selectionStart();
        after.remove(at, edit->selectedText().size());
    }
    after.insert(at, typed);
    if (!numericFieldAcceptsText(after, m_allowPeriod))
        return true;
    return QObject::eventFilter(watched, event);
}

} // namespace orvex
