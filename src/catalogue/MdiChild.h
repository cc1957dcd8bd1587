#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>

// Opens one of the frame's working windows: it prepares itself (ReadyData) and is destroyed unshown when that
// fails; otherwise it opens maximized in the area and frees itself when closed.
template <typename Window, typename... Services> bool openMaximizedChild(QMdiArea *area, const Services &...services) {
    auto *window = new Window(services...);
    if (!window->ReadyData()) {
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
