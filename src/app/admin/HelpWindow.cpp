#include "app/admin/HelpWindow.h"

#include "app/admin/AdminCommands.h"
#include "platform/Messages.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Screenshots wider than this are shown scaled down, so a page reads without scrolling sideways.
constexpr int MaxImageWidth = 800;

QPointer<HelpWindow> &theWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

} // namespace

HelpWindow::HelpWindow(const QString &helpFolder, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , mHelpFolder(helpFolder) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("使用说明"));

    const auto addButton = [this](const char *name, const QString &caption, QStyle::StandardPixmap icon) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(caption);
        button->setIcon(style()->standardIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        return button;
    };
    mBack = addButton("cmdBack", QStringLiteral("后退"), QStyle::SP_ArrowBack);
    mForward = addButton("cmdForward", QStringLiteral("前进"), QStyle::SP_ArrowForward);
    auto *guide = addButton("cmdGuide", QStringLiteral("使用说明"), QStyle::SP_DialogHelpButton);
    auto *tutorial = addButton("cmdTutorial", QStringLiteral("动画教程"), QStyle::SP_MediaPlay);
    auto *close = addButton("cmdClose", QStringLiteral("关闭"), QStyle::SP_DialogCloseButton);
    mBack->setEnabled(false);
    mForward->setEnabled(false);

    mBrowser = new QTextBrowser(this);
    mBrowser->setObjectName(QStringLiteral("helpBrowser"));
    // Every link goes through openLink: pages of Help/ stay here, web addresses go to the shell.
    mBrowser->setOpenLinks(false);
    mBrowser->setOpenExternalLinks(false);

    auto *bar = new QHBoxLayout;
    bar->addWidget(mBack);
    bar->addWidget(mForward);
    bar->addSpacing(12);
    bar->addWidget(guide);
    bar->addWidget(tutorial);
    bar->addStretch();
    bar->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(mBrowser, 1);

    connect(mBack, &QToolButton::clicked, mBrowser, &QTextBrowser::backward);
    connect(mForward, &QToolButton::clicked, mBrowser, &QTextBrowser::forward);
    connect(mBrowser, &QTextBrowser::backwardAvailable, mBack, &QToolButton::setEnabled);
    connect(mBrowser, &QTextBrowser::forwardAvailable, mForward, &QToolButton::setEnabled);
    connect(guide, &QToolButton::clicked, this,
            [this] { showPage(mHelpFolder + QStringLiteral("ContractPHelp.htm")); });
    connect(tutorial, &QToolButton::clicked, this, [this] { showPage(mHelpFolder + QStringLiteral("contract.htm")); });
    connect(close, &QToolButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    connect(mBrowser, &QTextBrowser::anchorClicked, this, &HelpWindow::openLink);
    connect(mBrowser, &QTextBrowser::sourceChanged, this, [this] {
        updateTitle();
        // Pictures are fitted once the page is laid out.
        QTextDocument *document = mBrowser->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (!fragment.charFormat().isImageFormat())
                    continue;
                QTextImageFormat image = fragment.charFormat().toImageFormat();
                if (image.width() > 0)
                    continue;
                const QVariant resource = document->resource(QTextDocument::ImageResource, QUrl(image.name()));
                const QImage picture = resource.value<QImage>();
                if (picture.isNull() || picture.width() <= MaxImageWidth)
                    continue;
                image.setWidth(MaxImageWidth);
                image.setHeight(double(picture.height()) * MaxImageWidth / picture.width());
                QTextCursor cursor(document);
                cursor.setPosition(fragment.position());
                cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
                cursor.setCharFormat(image);
            }
        }
    });

    resize(1040, 780);
}

bool HelpWindow::showPage(const QString &path) {
    if (!QFileInfo::exists(path)) {
        Messages::instance().warning(QStringLiteral("找不到帮助文件：") + QLatin1Char('\r') + path);
        return false;
    }
    mBrowser->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    return true;
}

void HelpWindow::openLink(const QUrl &link) {
    const QUrl target = mBrowser->source().resolved(link);
    if (!target.isLocalFile()) {
        Shell::instance().openPage(target.toString());
        return;
    }
    const QString path = target.toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("htm") && suffix != QLatin1String("html")) {
        // A document or picture linked from a page opens in its own program.
        Shell::instance().openPage(path);
        return;
    }
    if (!QFileInfo::exists(path)) {
        Messages::instance().warning(QStringLiteral("找不到帮助文件：") + QLatin1Char('\r') + path);
        return;
    }
    mBrowser->setSource(target, QTextDocument::HtmlResource);
}

void HelpWindow::updateTitle() {
    const QString title = mBrowser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("使用说明") : title);
}

HelpWindow *HelpWindow::open(const QString &helpFolder, const QString &page, QWidget *parent) {
    QPointer<HelpWindow> &window = theWindow();
    const bool created = !window;
    if (created)
        window = new HelpWindow(helpFolder, parent);
    if (!window->showPage(helpFolder + page)) {
        if (created)
            delete window;
        return nullptr;
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void OpenHelpPage(QWidget *parent, const QString &appFolder) {
    HelpWindow::open(appFolder + QStringLiteral("Help/"), QStringLiteral("ContractPHelp.htm"), parent);
}

void OpenTutorialPage(QWidget *parent, const QString &appFolder) {
    HelpWindow::open(appFolder + QStringLiteral("Help/"), QStringLiteral("contract.htm"), parent);
}
