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

// The frame's working window of this class when one is open: brought to the front, maximized, and returned;
// nullptr otherwise.
template <typename Window> Window *activateOpenChild(QMdiArea *area) {
    for (QMdiSubWindow *sub : area->subWindowList()) {
        if (auto *window = qobject_cast<Window *>(sub->widget())) {
            area->setActiveSubWindow(sub);
            sub->showMaximized();
            return window;
        }
    }
    return nullptr;
}
