#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;

// The help window: shows the user guide and the tutorial (the .htm pages of Help/ with their pictures) inside
// the program, so no outside browser is needed. Links between the pages and to places in a page stay in the
// window; links to web sites go to the shell.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // helpFolder: the Help/ folder of the application folder, with a trailing '/'.
    explicit HelpWindow(const QString &helpFolder, QWidget *parent = nullptr);

    // Shows the page (a path below Help/). False when the file is missing; the window then shows nothing new.
    bool showPage(const QString &path);
    // What a click on a link does.
    void openLink(const QUrl &link);

    QTextBrowser *browser() const { return mBrowser; }

    // The one help window of the application, created on first use; it opens the page and comes to the front.
    // A missing page is reported (the window is not shown). Returns the window, or null when the page is missing.
    static HelpWindow *open(const QString &helpFolder, const QString &page, QWidget *parent);

private:
    void updateTitle();

    QString mHelpFolder;
    QTextBrowser *mBrowser = nullptr;
    QToolButton *mBack = nullptr;
    QToolButton *mForward = nullptr;
};
