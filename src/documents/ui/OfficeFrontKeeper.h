#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;
class QWidget;

// Keeps the office window of an open document in front of the program's other windows while the document's tool
// window is open. A click in the main window brings that window up over the office window, while the small tool
// window, which stays on top, hides nothing; the user would lose sight of the document. When another window of
// the program is activated (or the tool window is, by a click outside it, as a window manager does when a modal
// window blocks the one clicked), the office window is raised again.
class OfficeFrontKeeper : public QObject {
    Q_OBJECT

public:
    OfficeFrontKeeper(QWidget *toolWindow, std::function<void()> bringOfficeToFront);
    ~OfficeFrontKeeper() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool belongsToToolWindow(const QWidget *window) const;

    QPointer<QWidget> mToolWindow;
    std::function<void()> mBringOfficeToFront;
    QTimer *mDelay = nullptr;
};
