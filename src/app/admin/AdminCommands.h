#pragma once

#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class Database;
class QWidget;

// The administrative commands of the main window. Each shows its own dialogs and messages through Messages and
// hands pages and programs to Shell.

// "数据库备份": asks where to save (proposing Bak/yyyyMMdd.HTBK) and writes the archive of the data; a document
// whose name cannot go into an archive is named in the message.
void BackupDatabase(Database &database);

// "数据库还原": runs `adminCheck` (the administrative password check, which shows its own message and returns
// false on a wrong password), asks for the archive, closes the connection, restores, reports the outcome and
// calls `endProcess`. Once an archive was chosen, the current data is first packed into
// Bak/恢复前自动备份_yyyyMMdd_HHmmss.HTBK (kept unless the restore left the data and DB untouched); when that fails
// the user is told and nothing else happens. Otherwise `endProcess` is called whether the restore succeeded or not;
// a restore that did not complete says what was restored, what was not, and where that archive is.
// An `archive` given already (a backup opened from the file manager) is not asked for; the user confirms it instead.
void RestoreDatabase(Database &database, const std::function<bool()> &adminCheck,
                     const std::function<void()> &endProcess, const QString &archive = {});

// "系统重建": shows the modal dialog RebuildDialog. The caller runs the administrative check first.
// `closeChildWindows` closes every child window of the frame; it runs only when the user confirms the rebuild,
// before any data is deleted. Lives in vantrel_admin_ui.
void ShowRebuild(QWidget *parent, Database &database, const std::function<void()> &closeChildWindows);

// "使用说明" and "动画教程": the user guide Help/ContractPHelp.htm and the tutorial Help/contract.htm, shown in the
// program's help window (one for the application, a top-level window owned by parent). `appFolder` ends with '/'.
// Live in vantrel_admin_ui.
void OpenHelpPage(QWidget *parent, const QString &appFolder);
void OpenTutorialPage(QWidget *parent, const QString &appFolder);

// The contract-sample sites of the "在线合同范本" menu, in menu order: (caption, address).
QList<QPair<QString, QString>> SampleSites();
void OpenSampleSite(int index);

// "在线升级": starts the updater Trevolan of the application folder without parameters; the caller then closes the
// main window whether or not it started.
void StartUpdater();

// The product's web page shown in the About box and opened from it.
QString ProductWebAddress();
