#include "app/MessageBox.h"

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
