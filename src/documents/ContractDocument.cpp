#include "ContractDocument.h"

#include "DocumentPaths.h"
#include "Messages.h"
#include "PackageTemplate.h"
#include "TDM.h"
#include "TemplateEditor.h"
#include "WordApp.h"
#include "text/TextHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>

ContractDocument::ContractDocument(WordApp &word, Messages &messages, const QString &categoryCode,
                                   const QString &documentPath, int recordId)
    : mWord(word)
    , mMessages(messages)
    , mCategoryCode(categoryCode)
    , mDocumentPath(documentPath)
    , mRecordId(recordId)
{
}

QString ContractDocument::templateMissingText()
{
    return QStringLiteral("选定合同类型的模板文件尚未创建！");
}

void ContractDocument::showOfficeError()
{
    const QString error = mWord.lastError();
    mMessages.warning(error.isEmpty() ? QStringLiteral("办公软件操作失败。") : error);
}

bool ContractDocument::readRecord()
{
    QSqlQuery query(TDM::instance().ADOLocal());
    if (!execBound(query, QStringLiteral("Select * from TContractMain where ID=?"), {mRecordId}) || !query.next())
        return false;
    mRecord = query.record();
    mHaveRecord = true;
    mCategoryCode = mRecord.value(QStringLiteral("MainTypeCode")).toString();
    return true;
}

ContractDocument::Preparation ContractDocument::ReadyData()
{
    // A record that is gone has no values to fill in: reported like a failed read.
    if (!readRecord()) {
        mMessages.information(QStringLiteral("读取数据库发生错误！"));
        return Preparation::Failed;
    }
    if (!mWord.connect()) {
        mMessages.warning(TemplateEditor::officeMissingText());
        return Preparation::Failed;
    }
    mWord.arrange();
    mCloseRequested = false;

    const QString existing = DocumentPaths::existingDocument(mDocumentPath);
    if (!existing.isEmpty()) {
        if (PackageTemplate::formatOf(existing) != PackageTemplate::Format::None)
            mDocumentPath = DocumentPaths::withSuffixOf(mDocumentPath, existing);
        if (!mWord.open(existing)) {
            showOfficeError();
            return Preparation::Failed;
        }
        return Preparation::Opened;
    }

    const QString templateFile = DocumentPaths::existingTemplate(mCategoryCode);
    if (templateFile.isEmpty()) {
        mMessages.information(templateMissingText());
        mWord.disconnect();
        mCloseRequested = true;
        return Preparation::NoTemplate;
    }
    if (PackageTemplate::formatOf(templateFile) != PackageTemplate::Format::None)
        return generateFromPackage(templateFile);

    QDir().mkpath(QFileInfo(mDocumentPath).absolutePath());
    const auto copied = CopyFileContent(templateFile, mDocumentPath);
    if (!copied) {
        mMessages.warning(QStringLiteral("复制合同模板文件发生错误！\r错误原因：") + copied.error);
        return Preparation::Failed;
    }
    if (!mWord.open(mDocumentPath)) {
        showOfficeError();
        return Preparation::Failed;
    }
    Button3Click();
    return Preparation::Generated;
}

ContractDocument::Preparation ContractDocument::generateFromPackage(const QString &templateFile)
{
    // Filled in the program, not in the office: the document on disk is the filled one, in the template's format.
    bool ok = false;
    const QList<Indicator> indicators = Indicator::ofCategory(mCategoryCode, &ok);
    mPairs = ok ? markerPairsFor(indicators, mRecord) : QList<MarkerPair>();
    QList<QPair<QString, QString>> replacements;
    for (const MarkerPair &pair : std::as_const(mPairs))
        replacements.append({pair.marker, pair.replacement});
    mDocumentPath = DocumentPaths::withSuffixOf(mDocumentPath, templateFile);
    QDir().mkpath(QFileInfo(mDocumentPath).absolutePath());
    if (mHint)
        mHint(true);
    const PackageTemplate::Result filled = PackageTemplate::fill(templateFile, mDocumentPath, replacements);
    if (mHint)
        mHint(false);
    if (!filled.ok) {
        mMessages.warning(QStringLiteral("生成合同文档发生错误！\r错误原因：") + filled.error);
        return Preparation::Failed;
    }
    if (!mWord.open(mDocumentPath)) {
        showOfficeError();
        return Preparation::Failed;
    }
    if (ok && indicators.isEmpty())
        mMessages.information(QStringLiteral("选定合同对应的合同参数已经不存在！"));
    mWord.bringToFront();
    return Preparation::Generated;
}

QList<MarkerPair> ContractDocument::markerPairsFor(const QList<Indicator> &indicators, const QSqlRecord &record)
{
    QList<MarkerPair> pairs;
    pairs.reserve(indicators.size());
    for (const Indicator &indicator : indicators) {
        // Only a value column of the record counts; a damaged DataFieldA gives an empty value, never another field.
        const QString column = indicator.DataFieldA.trimmed();
        QString value;
        if (column.startsWith(QLatin1String("Data"), Qt::CaseInsensitive) && record.indexOf(column) >= 0)
            value = record.value(column).toString();
        pairs.append({indicator.marker(), value + indicator.Unit});
    }
    return pairs;
}

bool ContractDocument::Button3Click()
{
    // Pending events are let through while filling; a second click must not start a run inside the first.
    if (mGenerating || mClosed || !mHaveRecord)
        return false;
    bool ok = false;
    const QList<Indicator> indicators = Indicator::ofCategory(mCategoryCode, &ok);
    if (!ok)
        return false;
    if (indicators.isEmpty()) {
        mMessages.information(QStringLiteral("选定合同对应的合同参数已经不存在！"));
        return false;
    }

    mGenerating = true;
    const auto done = qScopeGuard([this] { mGenerating = false; });
    mPairs = markerPairsFor(indicators, mRecord);
    if (mHint)
        mHint(true);
    if (mPump)
        mPump();
    if (mClosed)
        return true;
    // In SortIdx order, so a value that holds the marker of a later indicator is filled in turn. Every occurrence
    // is replaced, wherever it stands in the document, in one batch that the office does not redraw in between.
    QList<QPair<QString, QString>> replacements;
    replacements.reserve(mPairs.size());
    for (const MarkerPair &pair : std::as_const(mPairs))
        replacements.append({pair.marker, pair.replacement});
    QString error;
    if (!mWord.replaceInOrder(replacements))
        error = mWord.lastError();
    if (mPump)
        mPump();
    if (mHint)
        mHint(false);
    if (mClosed)
        return true;
    if (!error.isEmpty())
        mMessages.warning(QStringLiteral("生成合同文档时发生错误，文档可能没有填写完整。\r错误原因：") + error);
    mWord.bringToFront();
    return true;
}

bool ContractDocument::Button2Click()
{
    // The window's messages are let through while the markers are filled: a click on "保存" then would store the
    // half-made document and report it saved.
    if (mGenerating)
        return false;
    QDir().mkpath(QFileInfo(mDocumentPath).absolutePath());
    if (!mWord.saveAs(mDocumentPath)) {
        mMessages.warning(QStringLiteral("保存文件发生错误"));
        return false;
    }
    mNotSaved = false;
    return true;
}

void ContractDocument::Button5Click()
{
    if (mGenerating)
        return;
    if (!mWord.print())
        showOfficeError();
}

void ContractDocument::Button6Click()
{
    if (mGenerating)
        return;
    if (!mWord.sendMail()) {
        showOfficeError();
        return;
    }
    mWord.bringToFront();
}

bool ContractDocument::Timer1Timer()
{
    if (mCloseRequested)
        return true;
    mWord.bringToFront();
    return false;
}

void ContractDocument::FormMouseDown()
{
    if (!mClosed && mWord.isConnected())
        mWord.bringToFront();
}

void ContractDocument::FormCloseQuery()
{
    if (mClosed)
        return;
    mClosed = true;
    if (!mWord.quit())
        mWord.disconnect();
}
