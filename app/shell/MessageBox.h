#pragma once
// Every message box and Yes/No question of the ground station goes through these two functions, so
// that the texts are shown the same way everywhere and tests can answer them without a modal loop:
// a test installs an interceptor, which then receives every box instead of the screen.

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace orvex {

// The caption of boxes that have no caption of their own.
QString programTitle();

// The icon of an OK box: none, or the stop sign of a failure that ends what the operator was doing.
enum class EBoxIcon { None, Stop };

// A modal box with one OK button. An empty caption shows the program title.
void messageBox(QWidget* parent, const QString& text, const QString& caption = {}, EBoxIcon icon = EBoxIcon::None);

// A modal Yes/No question; returns true on Yes. `defaultYes` chooses the default button.
bool askYesNo(QWidget* parent, const QString& text, const QString& caption = {}, bool defaultYes = true);

// The same question without an icon (the configuration commands ask this way).
bool askYesNoWithoutIcon(QWidget* parent, const QString& text, const QString& caption = {}, bool defaultYes = true);

// A box that does not block: shown window-modal over `parent` and returning at once; `closed`
// runs when the operator has answered (true = Yes; an OK box passes false). With an interceptor
// installed, the interceptor answers at once and `closed` runs before this returns.
void openMessageBox(QWidget* parent, const QString& text, bool question, std::function<void(bool)> closed);

// What a test sees of one box.
struct SMessageBoxCall {
    QString text;
    QString caption;
    bool question = false;   // Yes/No rather than OK
    bool defaultYes = false; // the default button of a question
    EBoxIcon icon = EBoxIcon::None; // of an OK box
};

// Installs (or removes, with an empty function) the interceptor. For a question, its return value
// is the answer (true = Yes); for an OK box it is ignored.
using MessageBoxInterceptor = std::function<bool(const SMessageBoxCall&)>;
void setMessageBoxInterceptor(MessageBoxInterceptor interceptor);

} // namespace orvex
