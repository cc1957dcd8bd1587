#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>

// Shows one of the frame's working windows maximized in the area, where it frees itself when closed; one that
// could not prepare itself is destroyed unshown. Returns `prepared`.
inline bool showMaximizedChild(QMdiArea *area, QWidget *window, bool prepared) {
    if (!prepared) {
        delete window;
        return false;
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow *sub = area->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(window->windowIcon());
    sub->showMaximized();
    return true;
}

// Opens one of the frame's working windows that prepares itself in ReadyData().
template <typename Window, typename... Services> bool openMaximizedChild(QMdiArea *area, const Services &...services) {
    auto *window = new Window(services...);
    return showMaximizedChild(area, window, window->ReadyData());
}
