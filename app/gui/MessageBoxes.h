#pragma once
// The system's message boxes: modal for the user, but never blocking the caller. Each
// message is queued and shown when the box before it has been closed; a message that
// is already waiting or showing is not queued again but counted, and the box says how
// often it came ("(<n> times)").
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <utility>

class QMessageBox;
class QWidget;

namespace ksn::gui {

class TMessageBoxes : public QObject {
    Q_OBJECT
public:
    explicit TMessageBoxes(QWidget* parent);

    void Show(const QString& text, int count = 1);

    // Every message received (once per distinct arrival, with repeats merged) — what
    // the user has been or will be shown.
    const QStringList& History() const { return myHistory; }
    bool HasShown(const QString& text) const { return myHistory.contains(text); }
    void ClearHistory() { myHistory.clear(); }
    // The box on screen (nullptr when none) and the texts waiting behind it.
    QMessageBox* Current() const { return myBox; }
    int Waiting() const { return int(myQueue.size()); }
    // Closes the box on screen and every waiting one (tests, and the end of the program).
    void CloseAll();

signals:
    void Shown(const QString& text);

private:
    static QString BoxText(const QString& text, int count);
    void ShowNext();

    QWidget* myParent;
    std::deque<std::pair<QString, int>> myQueue;
    QMessageBox* myBox = nullptr;
    QString myBoxMessage;
    int myBoxCount = 0;
    QStringList myHistory;
};

} // namespace ksn::gui
