#include "app/route/FieldCheck.h"

#include <QLineEdit>

#include <cmath>

#include "app/shell/MessageBox.h"

namespace orvex {

SFieldValue checkIntField(const QString& text, int min, int max)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return {false, 0, QStringLiteral("请输入一个整数。")};
    if (v < min || v > max)
        return {false, 0, QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(min).arg(max)};
    return {true, static_cast<double>(v), {}};
}

SFieldValue checkRealField(const QString& text, double min, double max)
{
    bool ok = false;
    // QString::toDouble reads the C locale: a point, never a comma, whatever the user's locale.
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return {false, 0, QStringLiteral("请输入一个数字。")};
    if (v < min || v > max)
        return {false, 0, QStringLiteral("请输入一个介于 %1 和 %2 之间的数字。").arg(min).arg(max)};
    return {true, v, {}};
}

namespace {

bool refuse(QWidget* dialog, QLineEdit* edit, const QString& message)
{
    messageBox(dialog, message);
    edit->setFocus();
    edit->selectAll();
    return false;
}

} // namespace

bool readIntField(QWidget* dialog, QLineEdit* edit, int min, int max, int& out)
{
    const SFieldValue r = checkIntField(edit->text(), min, max);
    if (!r.ok)
        return refuse(dialog, edit, r.message);
    out = static_cast<int>(r.value);
    return true;
}

bool readRealField(QWidget* dialog, QLineEdit* edit, double min, double max, double& out)
{
    const SFieldValue r = checkRealField(edit->text(), min, max);
    if (!r.ok)
        return refuse(dialog, edit, r.message);
    out = r.value;
    return true;
}

} // namespace orvex
