// vantrel-shots <appFolder> <outputFolder> [name...]: opens the program's windows over an application folder that
// holds the demo content and saves a PNG of each into the output folder (all, or only the named ones). Run it on
// an X display (take-screenshots.sh starts Xvfb): the contract document and template editor pictures show the
// office program's own window beside ours.
//
// Pictures: main, menu-samples, menu-maintenance, menu-help, model-template, model-indicators, category-name,
// indicator-edit, indicator-formula-menu, select-category, select-indicator, template-editor, register, entry,
// entry-edit, preview, import, delete-question, document, backup, restore, rebuild, password-set, password-login,
// about, register-multirow (last: it renames indicators of the demo in the folder it is given).

#include "app/Composition.h"
#include "app/MainWindow.h"
#include "app/admin/AdminCommands.h"
#include "catalogue/CategorySelectDialog.h"
#include "catalogue/CategoryTreeModel.h"
#include "catalogue/IndicatorEditorDialog.h"
#include "catalogue/IndicatorSelectDialog.h"
#include "catalogue/TemplateManagerWindow.h"
#include "contracts/ContractEntryDialog.h"
#include "contracts/ContractRegisterWindow.h"
#include "platform/Messages.h"
#include "platform/PasswordInputDialog.h"
#include "platform/QtPlatform.h"
#include "screenshots/ShotMessages.h"
#include "screenshots/WindowShots.h"
#include "store/Database.h"
#include "store/IndicatorStore.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDateTimeEdit>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {

const QString ChildCode = QStringLiteral("00010001");

class ShotRun {
public:
    ShotRun(MainWindow &main, Database &database, ShotMessages &messages, const QString &appFolder, const QString &out,
            const QStringList &only)
        : mMain(main)
        , mDatabase(database)
        , mMessages(messages)
        , mAppFolder(appFolder)
        , mShots(out)
        , mOnly(only) {}

    int run();

private:
    bool wanted(const QString &name) const { return mOnly.isEmpty() || mOnly.contains(name); }
    bool wantedAny(const QStringList &names) const {
        for (const QString &name : names) {
            if (wanted(name))
                return true;
        }
        return false;
    }
    template <typename T> T *child(const QString &name = QString()) const { return mMain.findChild<T *>(name); }
    void shootModal(const QString &name, const std::function<void()> &trigger,
                    const std::function<void(QWidget *)> &prepare = {});
    void menus();
    void templateWindow();
    void registerWindow();
    void typeInto(ContractEntryDialog *dialog, int row, const QString &text);
    void administration();
    void multiRowTitles();
    void closeChildren();
    int indicatorId(const QString &name) const;

    MainWindow &mMain;
    Database &mDatabase;
    ShotMessages &mMessages;
    QString mAppFolder;
    WindowShots mShots;
    QStringList mOnly;
};

void ShotRun::shootModal(const QString &name, const std::function<void()> &trigger,
                         const std::function<void(QWidget *)> &prepare) {
    if (!wanted(name))
        return;
    const bool seen = WindowShots::withModal(trigger, [&](QWidget *dialog) {
        qInfo().noquote() << "dialog:" << dialog->metaObject()->className() << dialog->windowTitle();
        if (prepare)
            prepare(dialog);
        mShots.window(name, dialog);
    });
    if (!seen)
        mShots.miss(name + QStringLiteral(" (no dialog appeared)"));
}

int ShotRun::indicatorId(const QString &name) const {
    for (const Indicator &indicator : IndicatorStore(mDatabase).ofCategory(ChildCode)) {
        if (indicator.PropertyName == name)
            return indicator.ID;
    }
    return -1;
}

void ShotRun::closeChildren() {
    mMain.closeChildWindows();
    // Closed windows delete themselves later: gone before the next one is looked up by class.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    WindowShots::pause(300);
}

void ShotRun::menus() {
    const struct {
        const char *name;
        const char *button;
    } list[] = {{"menu-samples", "samplesButton"}, {"menu-maintenance", "TBDatabase"}, {"menu-help", "TBHelp"}};
    for (const auto &item : list) {
        const QString name = QString::fromLatin1(item.name);
        auto *button = child<QToolButton>(QString::fromLatin1(item.button));
        if (!wanted(name) || !button)
            continue;
        const bool seen = WindowShots::withPopup([button] { button->showMenu(); },
                                                 [&](QWidget *menu) {
                                                     const QRect area =
                                                         QRect(button->mapToGlobal(QPoint(0, 0)), button->size())
                                                             .united(menu->geometry())
                                                             .adjusted(-8, -8, 8, 8)
                                                             .intersected(QRect(QPoint(0, 0), mMain.size()));
                                                     mShots.screen(name, area);
                                                 });
        if (!seen)
            mShots.miss(name + QStringLiteral(" (menu did not open)"));
    }
}

void ShotRun::templateWindow() {
    if (!wantedAny({QStringLiteral("model-template"), QStringLiteral("model-indicators"),
                    QStringLiteral("indicator-edit"), QStringLiteral("category-name"),
                    QStringLiteral("indicator-formula-menu"), QStringLiteral("select-category"),
                    QStringLiteral("select-indicator"), QStringLiteral("template-editor")}))
        return;
    mMain.openTemplateManagement();
    auto *window = child<TemplateManagerWindow>();
    if (!window) {
        mShots.miss(QStringLiteral("template management window (not opened)"));
        return;
    }
    auto *tree = window->findChild<QTreeView *>(QStringLiteral("Tree"));
    auto *model = qobject_cast<CategoryTreeModel *>(tree->model());
    tree->expandAll();
    tree->setCurrentIndex(model->findCode(ChildCode));
    window->showSelected();
    auto *pages = window->findChild<QTabWidget *>(QStringLiteral("pages"));
    pages->setCurrentIndex(0);
    // The template page shows a PDF the office program renders in the background.
    WindowShots::pause(4000);
    if (wanted(QStringLiteral("model-template")))
        mShots.window(QStringLiteral("model-template"), &mMain);
    pages->setCurrentIndex(1);
    if (auto *grid = window->findChild<QTableView *>(QStringLiteral("indicatorGrid")))
        grid->selectRow(8);
    WindowShots::pause(300);
    if (wanted(QStringLiteral("model-indicators")))
        mShots.window(QStringLiteral("model-indicators"), &mMain);

    auto *addRoot = window->findChild<QPushButton *>(QStringLiteral("cmdAddRoot"));
    shootModal(
        QStringLiteral("category-name"), [addRoot] { addRoot->click(); },
        [](QWidget *dialog) {
            if (auto *name = dialog->findChild<QLineEdit *>())
                name->setText(QStringLiteral("买卖合同"));
        });

    const int id = indicatorId(QStringLiteral("租金总额大写"));
    shootModal(QStringLiteral("indicator-edit"),
               [&] { EditIndicator(mDatabase, QStringLiteral("TDataPara"), ChildCode, id, &mMain); });
    if (wanted(QStringLiteral("indicator-formula-menu"))) {
        // The "…" button opens the formula menu under the pointer.
        WindowShots::withModal([&] { EditIndicator(mDatabase, QStringLiteral("TDataPara"), ChildCode, id, &mMain); },
                               [&](QWidget *dialog) {
                                   auto *formula = dialog->findChild<QToolButton *>(QStringLiteral("formulaButton"));
                                   if (!formula)
                                       return;
                                   QCursor::setPos(formula->mapToGlobal(formula->rect().center()));
                                   QTest::mousePress(formula, Qt::LeftButton);
                                   QTest::mouseRelease(formula, Qt::LeftButton);
                                   QWidget *menu = nullptr;
                                   WindowShots::waitFor([&menu] { return (menu = QApplication::activePopupWidget()); },
                                                        3000);
                                   if (!menu) {
                                       mShots.miss(QStringLiteral("indicator-formula-menu (menu did not open)"));
                                       return;
                                   }
                                   WindowShots::pause(300);
                                   // The dialog and its menu on a plain ground, without what lies behind them.
                                   const QRect window(dialog->geometry().topLeft() - WindowShots::captionOffset(),
                                                      dialog->geometry().bottomRight() + QPoint(1, 1));
                                   const QRect area = window.united(menu->geometry()).adjusted(-6, -6, 6, 6);
                                   QImage picture(area.size(), QImage::Format_RGB32);
                                   picture.fill(Qt::white);
                                   QPainter painter(&picture);
                                   painter.drawImage(window.topLeft() - area.topLeft(), WindowShots::framed(dialog));
                                   painter.drawPixmap(menu->geometry().topLeft() - area.topLeft(), menu->grab());
                                   painter.end();
                                   mShots.save(QStringLiteral("indicator-formula-menu"), picture);
                                   menu->close();
                               });
    }
    shootModal(QStringLiteral("select-category"), [&] {
        QString code;
        QString name;
        SelectCategory(mDatabase, &code, &name, &mMain);
    });
    shootModal(
        QStringLiteral("select-indicator"),
        [&] {
            QString name;
            SelectIndicator(mDatabase, ChildCode, &name, &mMain);
        },
        [](QWidget *dialog) {
            if (auto *grid = dialog->findChild<QTableView *>())
                grid->selectRow(6);
        });

    if (wanted(QStringLiteral("template-editor"))) {
        pages->setCurrentIndex(0);
        auto *edit = window->findChild<QPushButton *>(QStringLiteral("cmdSave"));
        const bool seen = WindowShots::withModal([edit] { edit->click(); },
                                                 [&](QWidget *) {
                                                     // The office program starts and opens the template beside us.
                                                     WindowShots::pause(12000);
                                                     mShots.screen(QStringLiteral("template-editor"),
                                                                   QGuiApplication::primaryScreen()->geometry());
                                                 },
                                                 30000);
        if (!seen)
            mShots.miss(QStringLiteral("template-editor (no dialog appeared)"));
        WindowShots::pause(2000);
    }
    closeChildren();
}

void ShotRun::typeInto(ContractEntryDialog *dialog, int row, const QString &text) {
    dialog->setCurrentRow(row);
    WindowShots::pause(150);
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("EditCell"));
    auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("cmbCell"));
    auto *date = dialog->findChild<QDateTimeEdit *>(QStringLiteral("dtDate"));
    QWidget *target = nullptr;
    if (edit && edit->isVisible()) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        target = edit;
    } else if (combo && combo->isVisible()) {
        combo->setEditText(text);
        target = combo->isEditable() ? static_cast<QWidget *>(combo->lineEdit()) : combo;
        if (!combo->isEditable())
            combo->setCurrentText(text);
    } else if (date && date->isVisible()) {
        date->setDate(QDate::fromString(text, QStringLiteral("yyyy-MM-dd")));
        target = date;
    }
    if (target)
        QTest::keyClick(target, Qt::Key_Return);
    WindowShots::pause(150);
}

void ShotRun::registerWindow() {
    if (!wantedAny({QStringLiteral("register"), QStringLiteral("entry"), QStringLiteral("entry-edit"),
                    QStringLiteral("preview"), QStringLiteral("import"), QStringLiteral("delete-question"),
                    QStringLiteral("document")}))
        return;
    mMain.openContractRegister();
    auto *window = child<ContractRegisterWindow>();
    if (!window) {
        mShots.miss(QStringLiteral("register (not opened)"));
        return;
    }
    auto *tree = window->findChild<QTreeView *>(QStringLiteral("Tree"));
    auto *model = qobject_cast<CategoryTreeModel *>(tree->model());
    tree->expandAll();
    tree->setCurrentIndex(model->findCode(ChildCode));
    window->showCurrentCategory();
    // Widened by hand as a user does (the register keeps the widths).
    const QList<QPair<int, int>> widths = {{1, 130}, {2, 190}, {3, 160}, {4, 250}};
    for (const auto &[column, width] : widths)
        window->grid()->horizontalHeader()->resizeSection(column, width);
    window->grid()->setCurrentIndex(window->grid()->model()->index(0, 1));
    WindowShots::pause(500);
    if (wanted(QStringLiteral("register")))
        mShots.window(QStringLiteral("register"), &mMain);

    auto *append = window->findChild<QPushButton *>(QStringLiteral("cmdAppend"));
    shootModal(
        QStringLiteral("entry"), [append] { append->click(); },
        [&](QWidget *widget) {
            auto *dialog = qobject_cast<ContractEntryDialog *>(widget);
            if (!dialog)
                return;
            const QStringList values = {QString(),
                                        QStringLiteral("北京安居房地产经纪有限公司"),
                                        QStringLiteral("赵丽"),
                                        QStringLiteral("北京市朝阳区建国路66号2单元1101室"),
                                        QStringLiteral("住宅"),
                                        QStringLiteral("96.4"),
                                        QStringLiteral("7500"),
                                        QStringLiteral("12")};
            for (int row = 1; row < values.size(); ++row)
                typeInto(dialog, row, values.at(row));
            // The rent total and its capital amount were filled by the formulas; stop on the pick list of the payment.
            dialog->setCurrentRow(11);
            WindowShots::pause(300);
        });
    auto *edit = window->findChild<QPushButton *>(QStringLiteral("cmdEdit"));
    shootModal(
        QStringLiteral("entry-edit"), [edit] { edit->click(); },
        [](QWidget *widget) {
            if (auto *dialog = qobject_cast<ContractEntryDialog *>(widget))
                dialog->setCurrentRow(13);
        });

    auto *print = window->findChild<QPushButton *>(QStringLiteral("printButton"));
    shootModal(
        QStringLiteral("preview"), [print] { print->click(); }, [](QWidget *) { WindowShots::pause(1000); });

    if (wanted(QStringLiteral("import"))) {
        mMessages.answerFileName(mAppFolder + QStringLiteral("BasicExcel/房屋租赁合同.xls"));
        auto *import = window->findChild<QPushButton *>(QStringLiteral("importButton"));
        shootModal(
            QStringLiteral("import"), [import] { import->click(); },
            [](QWidget *dialog) {
                if (auto *open = dialog->findChild<QPushButton *>(QStringLiteral("chooseFileButton")))
                    open->click();
                WindowShots::pause(1500);
                if (auto *mapping = dialog->findChild<QTableView *>(QStringLiteral("mappingGrid")))
                    mapping->selectRow(6);
            });
    }

    // The question before a record is deleted, answered No (nothing is deleted).
    auto *remove = window->findChild<QPushButton *>(QStringLiteral("deleteButton"));
    shootModal(QStringLiteral("delete-question"), [remove] { remove->click(); });

    if (wanted(QStringLiteral("document"))) {
        window->grid()->setCurrentIndex(window->grid()->model()->index(0, 1));
        auto *generate = window->findChild<QPushButton *>(QStringLiteral("documentButton"));
        QElapsedTimer since;
        since.start();
        const bool seen = WindowShots::whenModalReady(
            [generate] { generate->click(); },
            [&](QWidget *dialog) {
                // The office starts, the template is copied and every marker filled; the hint goes when it is done.
                auto *hint = dialog->findChild<QLabel *>(QStringLiteral("lblHint"));
                return since.elapsed() > 8000 && hint && !hint->isVisible();
            },
            [&](QWidget *) {
                WindowShots::pause(1500);
                mShots.screen(QStringLiteral("document"), QGuiApplication::primaryScreen()->geometry());
            },
            90000);
        if (!seen)
            mShots.miss(QStringLiteral("document (no dialog appeared)"));
        WindowShots::pause(2000);
    }
    closeChildren();
}

void ShotRun::multiRowTitles() {
    if (!wanted(QStringLiteral("register-multirow")))
        return;
    // Titles holding "|" are shown in two rows, neighbours with the same first piece under one upper cell.
    IndicatorStore indicators(mDatabase);
    const QList<QPair<QString, QString>> names = {{QStringLiteral("月租金"), QStringLiteral("租金|月租金")},
                                                  {QStringLiteral("租期"), QStringLiteral("租金|租期")},
                                                  {QStringLiteral("租金总额"), QStringLiteral("租金|总额")},
                                                  {QStringLiteral("租金总额大写"), QStringLiteral("租金|总额大写")},
                                                  {QStringLiteral("起租日期"), QStringLiteral("日期|起租")},
                                                  {QStringLiteral("签订日期"), QStringLiteral("日期|签订")},
                                                  {QStringLiteral("签订日期大写"), QStringLiteral("日期|签订(大写)")}};
    for (const auto &[from, to] : names) {
        indicators.rename(ChildCode, from, to);
    }
    mMain.openContractRegister();
    auto *window = child<ContractRegisterWindow>();
    if (!window) {
        mShots.miss(QStringLiteral("register-multirow (not opened)"));
        return;
    }
    auto *tree = window->findChild<QTreeView *>(QStringLiteral("Tree"));
    auto *model = qobject_cast<CategoryTreeModel *>(tree->model());
    tree->expandAll();
    tree->setCurrentIndex(model->findCode(ChildCode));
    window->showCurrentCategory();
    window->grid()->horizontalScrollBar()->setValue(window->grid()->horizontalScrollBar()->maximum());
    window->grid()->setCurrentIndex(window->grid()->model()->index(1, 7));
    WindowShots::pause(500);
    mShots.window(QStringLiteral("register-multirow"), &mMain);
    closeChildren();
}

void ShotRun::administration() {
    shootModal(QStringLiteral("backup"), [this] { BackupDatabase(mDatabase); });
    if (wanted(QStringLiteral("restore"))) {
        // A real backup first, so the restore dialog lists one; its closing message is dismissed.
        mMessages.answerFileName(mAppFolder + QStringLiteral("Bak/") +
                                 QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".HTBK"));
        WindowShots::withModal([this] { BackupDatabase(mDatabase); }, [](QWidget *) {});
    }
    shootModal(QStringLiteral("restore"), [this] {
        RestoreDatabase(
            mDatabase, [] { return true; }, [] {});
    });
    shootModal(QStringLiteral("rebuild"), [this] { ShowRebuild(&mMain, mDatabase, [] {}); });
    shootModal(QStringLiteral("password-set"), [this] { mMain.setPassword(); });
    shootModal(QStringLiteral("password-login"),
               [this] { PasswordInputDialog::ask(ApplicationTitle, QStringLiteral("请输入登陆密码："), &mMain); });
    shootModal(QStringLiteral("about"), [this] { mMain.showAbout(); });
}

int ShotRun::run() {
    WindowShots::pause(800);
    if (wanted(QStringLiteral("main")))
        mShots.window(QStringLiteral("main"), &mMain);
    menus();
    templateWindow();
    registerWindow();
    administration();
    multiRowTitles();

    qInfo().noquote() << "taken:" << mShots.taken().join(QLatin1Char(' '));
    for (const QString &missed : mShots.missed())
        qWarning().noquote() << "missed:" << missed;
    return mShots.missed().isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    QApplication::setApplicationDisplayName(ApplicationTitle);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        qWarning("usage: vantrel-shots <application folder> <output folder> [picture name...]");
        return 2;
    }
    QtPlatform::install();
    static ShotMessages messages;
    Messages::setInstance(&messages);

    const QString appFolder = QDir(args.at(1)).absolutePath() + QLatin1Char('/');
    const QString out = QDir(args.at(2)).absolutePath();
    QDir().mkpath(out);
    std::unique_ptr<Database> database = Database::open(appFolder);
    if (!database->isConnected()) {
        qWarning().noquote() << "vantrel-shots: no database in" << appFolder;
        return 1;
    }
    Composition composition(std::move(database));
    int rc = 1;
    {
        MainWindow frame(composition.mainCommands());
        frame.terminate = [] {};
        frame.show();
        ShotRun shots(frame, composition.database(), messages, appFolder, out, args.mid(3));
        QTimer::singleShot(300, &frame, [&] {
            rc = shots.run();
            frame.close();
            QCoreApplication::quit();
        });
        QApplication::exec();
    }
    return rc;
}
