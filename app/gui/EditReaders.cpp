#include "EditReaders.h"

#include "config/FloatText.h"
#include "config/Messages.h"

#include <QLineEdit>
#include <QPalette>

#include <climits>

namespace ksn::gui {

namespace {
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
} // namespace

bool PassesCheck(const QString& text, TCheckMode mode)
{
    if (text.isEmpty())
        return false;
    const QChar last = text.back();
    if (last.isDigit())
        return true;
    return mode == TCheckMode::digitOrComma && last == QLatin1Char(',');
}

void MarkEdit(QLineEdit* edit, bool ok)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, ok ? kWhite : kRed);
    edit->setPalette(palette);
}

bool IsMarkedRed(const QLineEdit* edit) { return edit->palette().color(QPalette::Base) == kRed; }

bool ParseInt(const QString& text, int& value)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < INT_MIN || v > INT_MAX)
        return false;
    value = int(v);
    return true;
}

bool ParseReal(const QString& text, double& value) { return TryParseReal(text.toStdString(), value); }

QString RealText(double value) { return QString::fromStdString(FormatReal(value)); }

bool ReadReal(QLineEdit* edit, TCheckMode mode, double& value)
{
    const QString text = edit->text();
    if (!PassesCheck(text, mode)) {
        MarkEdit(edit, false);
        value = 0;
        return false;
    }
    MarkEdit(edit, true);
    double v = 0;
    if (!ParseReal(text, v)) {
        ShowMessage("Please enter a number.");
        return false;
    }
    value = v;
    return true;
}

bool ReadInt(QLineEdit* edit, TCheckMode mode, int& value)
{
    const QString text = edit->text();
    if (!PassesCheck(text, mode)) {
        MarkEdit(edit, false);
        value = 0;
        return false;
    }
    MarkEdit(edit, true);
    int v = 0;
    if (!ParseInt(text, v)) {
        ShowMessage("Please enter a number.");
        return false;
    }
    value = v;
    return true;
}

void ColourWhileTyping(QLineEdit* edit, TCheckMode mode)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit,
        [edit, mode](const QString& text) { MarkEdit(edit, PassesCheck(text, mode)); });
}

} // namespace ksn::gui
