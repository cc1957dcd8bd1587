#include "platform/QtPlatform.h"

#include "platform/QtMessages.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcess>
#include <QTranslator>
#include <QUrl>

bool QtShell::openPage(const QString &addressOrPath) {
    const QUrl url =
        QFileInfo::exists(addressOrPath) ? QUrl::fromLocalFile(addressOrPath) : QUrl::fromUserInput(addressOrPath);
    return QDesktopServices::openUrl(url);
}

bool QtShell::startProgram(const QString &program, const QStringList &arguments) {
    return QProcess::startDetached(program, arguments);
}

void QtClipboard::setText(const QString &text) {
    QApplication::clipboard()->setText(text);
}

QString QtClipboard::text() const {
    return QApplication::clipboard()->text();
}

void QtPlatform::install() {
    static QtMessages messages;
    static QtShell shell;
    static QtClipboard clipboard;
    Messages::setInstance(&messages);
    Shell::setInstance(&shell);
    Clipboard::setInstance(&clipboard);

    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *name : {"qtbase_zh_CN"}) {
        auto *translator = new QTranslator(qApp);
        if (translator->load(QString::fromLatin1(name), folder))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
