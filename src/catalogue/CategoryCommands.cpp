#include "catalogue/CategoryCommands.h"

#include "catalogue/CategoryCodes.h"
#include "platform/Messages.h"
#include "store/Database.h"
#include "store/DocumentStore.h"

#include <QDir>

namespace {
const QString ReadFailed = QStringLiteral("读取数据出现错误。");

// Removes the template documents of a deleted category. Its code is issued again to the next category of the
// same parent, which would otherwise open with the deleted category's contract text. Letter case of the file
// name does not count: a template may come from a system that ignores it. Returns the files left in place.
QStringList removeTemplateFiles(const Database &database, const QString &typeCode) {
    QDir folder(database.path(Database::ModelFolder));
    QStringList left;
    for (const char *suffix : {".Doc", ".docx", ".odt"}) {
        const QString relative = Database::ModelFolder + typeCode + QLatin1String(suffix);
        if (!DocumentStore::remove(relative))
            left << relative;
    }
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &fileName : names) {
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        if (dot < 0 || fileName.left(dot).compare(typeCode, Qt::CaseInsensitive) != 0)
            continue;
        const QString suffix = fileName.mid(dot + 1);
        if (suffix.compare(QStringLiteral("doc"), Qt::CaseInsensitive) != 0 &&
            suffix.compare(QStringLiteral("docx"), Qt::CaseInsensitive) != 0 &&
            suffix.compare(QStringLiteral("odt"), Qt::CaseInsensitive) != 0)
            continue;
        if (!folder.remove(fileName))
            left << QDir::toNativeSeparators(folder.filePath(fileName));
    }
    return left;
}

} // namespace

CategoryCommands::CategoryCommands(Database &database, QObject *parent)
    : QObject(parent)
    , mDatabase(database)
    , mStore(database)
    , mSelection(&mModel) {}

bool CategoryCommands::loadTree() {
    if (!mModel.load(mStore)) {
        Messages::instance().warning(mDatabase.failureText(QStringLiteral("读取数据发生错误！")));
        return false;
    }
    if (mModel.rowCount() > 0) {
        select(mModel.firstNode());
        showSelected();
    }
    return true;
}

void CategoryCommands::select(const QModelIndex &index) {
    mSelection.setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void CategoryCommands::showSelected() {
    Q_EMIT pagesHidden();
    const QModelIndex node = selected();
    if (!mModel.isChild(node))
        return;
    mCurrentCode = mModel.goodsClass(node).TypeCode;
    Q_EMIT childCategoryClicked(mCurrentCode, mModel.caption(node));
}

bool CategoryCommands::insertCategory(const CategoryRecord &record) {
    if (mStore.insert(record))
        return true;
    Messages::instance().warning(ReadFailed);
    return false;
}

void CategoryCommands::addRootCategory() {
    const QString title = QStringLiteral("输入供应商主分类名称");
    const auto answer = Messages::instance().inputText(title, title, QString());
    if (!answer || answer->isEmpty())
        return;
    const QString name = CategoryCodes::cutName(*answer);
    const QString code = nextCategoryCode(mStore, QString());
    if (code.isEmpty())
        return;
    const CategoryRecord record{code, QStringLiteral(""), name, 0};
    // The row first: a node never stands in the tree without a row behind it.
    if (!insertCategory(record))
        return;
    mModel.addRoot(record);
    if (!selected().isValid()) {
        select(mModel.firstNode());
        showSelected();
    }
}

void CategoryCommands::addChildCategory() {
    const QModelIndex root = selected();
    if (!root.isValid())
        return;
    if (mModel.isChild(root)) {
        Messages::instance().information(QStringLiteral("选择根分类再添加下级"));
        return;
    }
    const QString title = QStringLiteral("输入供应商二级分类名称");
    const auto answer = Messages::instance().inputText(title, title, QString());
    if (!answer || answer->isEmpty())
        return;
    const QString name = CategoryCodes::cutName(*answer);
    const QString rootCode = mModel.goodsClass(root).TypeCode;
    const QString code = nextCategoryCode(mStore, rootCode);
    if (code.isEmpty())
        return;
    const CategoryRecord record{code, rootCode, name, 1};
    if (!insertCategory(record))
        return;
    const QPersistentModelIndex rootNode(root);
    mModel.addChild(rootNode, record);
    Q_EMIT rootExpanded(rootNode);
}

void CategoryCommands::renameCategory() {
    const QModelIndex node = selected();
    if (!node.isValid())
        return;
    const QString title = QStringLiteral("输入新的供应商分类名称");
    const QString current = mModel.caption(node);
    // Cancel keeps the current name, which is then written again.
    const QString answer = Messages::instance().inputText(title, title, current).value_or(current);
    if (answer.isEmpty())
        return;
    const QString name = CategoryCodes::cutName(answer);
    if (!mStore.rename(mModel.goodsClass(node).TypeCode, name)) {
        Messages::instance().warning(ReadFailed);
        return;
    }
    mModel.setCaption(node, name);
}

void CategoryCommands::deleteCategory() {
    const QModelIndex node = selected();
    if (!node.isValid())
        return;
    if (mModel.rowCount(node) > 0) {
        Messages::instance().information(QStringLiteral("指定分类下有子分类，不能直接删除！请先删除子分类！"));
        return;
    }
    if (!Messages::instance().question(QStringLiteral("您确认删除吗？")))
        return;
    // The database refuses the statement while indicators or contract records still refer to the category.
    const QString code = mModel.goodsClass(node).TypeCode;
    if (!mStore.remove(code)) {
        Messages::instance().warning(QStringLiteral("删除数据发生错误，可能该分类已经被使用。"));
        return;
    }
    mModel.removeNode(node);
    showSelected();
    const QStringList left = removeTemplateFiles(mDatabase, code);
    if (!left.isEmpty())
        Messages::instance().warning(
            QStringLiteral("分类已经删除，但它的模板文件无法删除，请关闭使用它的程序后手工删除：") + QLatin1Char('\n') +
            left.join(QLatin1Char('\n')));
}
