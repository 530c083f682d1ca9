#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace ksn::gui {

TMessageBoxes::TMessageBoxes(QWidget* parent) : QObject(parent), myParent(parent) {}

QString TMessageBoxes::BoxText(const QString& text, int count)
{
    return count > 1 ? QStringLiteral("%1\n\n(%2 times)").arg(text).arg(count) : text;
}

void TMessageBoxes::Show(const QString& text, int count)
{
    if (myBox && myBoxMessage == text) {
        myBoxCount += count;
        myBox->setText(BoxText(myBoxMessage, myBoxCount));
        return;
    }
    for (auto& waiting : myQueue)
        if (waiting.first == text) {
            waiting.second += count;
            return;
        }
    myHistory.append(text);
    myQueue.emplace_back(text, count);
    if (!myBox)
        ShowNext();
}

void TMessageBoxes::ShowNext()
{
    if (myQueue.empty())
        return;
    auto [text, count] = myQueue.front();
    myQueue.pop_front();
    myBoxMessage = text;
    myBoxCount = count;
    myBox = new QMessageBox(QMessageBox::Information, QApplication::applicationDisplayName(),
        BoxText(text, count), QMessageBox::Ok, myParent);
    myBox->setAttribute(Qt::WA_DeleteOnClose);
    myBox->setWindowModality(Qt::WindowModal);
    connect(myBox, &QMessageBox::finished, this, [this] {
        myBox = nullptr;
        ShowNext();
    });
    // open() returns at once: the caller (and the run behind it) goes on.
    myBox->open();
    emit Shown(text);
}

void TMessageBoxes::CloseAll()
{
    myQueue.clear();
    if (myBox) {
        QMessageBox* box = myBox;
        myBox = nullptr;
        box->disconnect(this);
        box->close();
    }
}

} // namespace ksn::gui
