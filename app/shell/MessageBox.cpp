#include "app/shell/MessageBox.h"

#include <QPushButton>

namespace orvex {

namespace {
MessageBoxInterceptor& interceptor()
{
    static MessageBoxInterceptor fn;
    return fn;
}
} // namespace

QString programTitle()
{
    return QStringLiteral("Orvex 无人机地面站");
}

void setMessageBoxInterceptor(MessageBoxInterceptor fn)
{
    interceptor() = std::move(fn);
}

void messageBox(QWidget* parent, const QString& text, const QString& caption, EBoxIcon icon)
{
    const QString title = caption.isEmpty() ? programTitle() : caption;
    if (interceptor()) {
        interceptor()({text, title, false, false, icon});
        return;
    }
    QMessageBox box(icon == EBoxIcon::Stop ? QMessageBox::Critical : QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                    parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void openMessageBox(QWidget* parent, const QString& text, bool question, std::function<void(bool)> closed)
{
    const QString title = programTitle();
    if (interceptor()) {
        const bool yes = interceptor()({text, title, question, question});
        closed(question && yes);
        return;
    }
    auto* box = new QMessageBox(question ? QMessageBox::Question : QMessageBox::NoIcon, title, text,
                                question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (question) {
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, question, closed = std::move(closed)](int) {
        closed(question && box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

namespace {
bool askWithIcon(QWidget* parent, const QString& text, const QString& caption, bool defaultYes, QMessageBox::Icon icon)
{
    const QString title = caption.isEmpty() ? programTitle() : caption;
    if (interceptor())
        return interceptor()({text, title, true, defaultYes});
    QMessageBox box(icon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
} // namespace

bool askYesNo(QWidget* parent, const QString& text, const QString& caption, bool defaultYes)
{
    return askWithIcon(parent, text, caption, defaultYes, QMessageBox::Question);
}

bool askYesNoWithoutIcon(QWidget* parent, const QString& text, const QString& caption, bool defaultYes)
{
    return askWithIcon(parent, text, caption, defaultYes, QMessageBox::NoIcon);
}

} // namespace orvex
