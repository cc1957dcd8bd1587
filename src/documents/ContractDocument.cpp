#include "documents/ContractDocument.h"

#include "documents/DocumentLock.h"
#include "documents/DocumentPaths.h"
#include "documents/DocumentSync.h"
#include "documents/TemplateEditor.h"
#include "office/WordApp.h"
#include "package/PackageTemplate.h"
#include "platform/Messages.h"
#include "store/ChangeHistory.h"
#include "store/ContractStore.h"
#include "store/Database.h"
#include "text/TextHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>

ContractDocument::ContractDocument(WordApp &word, const QString &categoryCode, const QString &documentPath,
                                   int recordId)
    : DocumentSession(word, QStringLiteral("合同文档"))
    , mCategoryCode(categoryCode)
    , mDocumentPath(documentPath)
    , mRecordId(recordId) {}

ContractDocument::~ContractDocument() {
    unlock();
}

ContractDocument::Preparation ContractDocument::lockShown(Preparation prepared) {
    if (mShowInOffice && (prepared == Preparation::Opened || prepared == Preparation::Generated) &&
        QFileInfo::exists(mDocumentPath) && DocumentLock::acquire(mDocumentPath))
        mLocked = mDocumentPath;
    return prepared;
}

void ContractDocument::unlock() {
    if (!mLocked.isEmpty())
        DocumentLock::release(mLocked);
    mLocked.clear();
}

QString ContractDocument::templateMissingText() {
    return QStringLiteral("选定合同类型的模板文件尚未创建！");
}

void ContractDocument::showOfficeError() {
    const QString error = mWord.lastError();
    Messages::instance().warning(error.isEmpty() ? QStringLiteral("办公软件操作失败。") : error);
}

void ContractDocument::setRecordData(const QSqlRecord &record, const QList<Indicator> &indicators) {
    mRecord = record;
    mIndicators = indicators;
    mPreloaded = true;
}

QList<Indicator> ContractDocument::indicators(bool *ok) const {
    if (!mPreloaded)
        return Indicator::ofCategory(mCategoryCode, ok);
    *ok = true;
    return mIndicators;
}

bool ContractDocument::readRecord() {
    if (mPreloaded) {
        mHaveRecord = !mRecord.isEmpty();
        mCategoryCode = mRecord.value(QStringLiteral("MainTypeCode")).toString();
        return mHaveRecord;
    }
    mRecord = ContractStore(Database::instance()).recordById(mRecordId);
    if (mRecord.isEmpty())
        return false;
    mHaveRecord = true;
    mCategoryCode = mRecord.value(QStringLiteral("MainTypeCode")).toString();
    return true;
}

ContractDocument::Preparation ContractDocument::prepare() {
    // A record that is gone has no values to fill in: reported like a failed read.
    if (!readRecord()) {
        Messages::instance().information(QStringLiteral("读取数据库发生错误！"));
        return Preparation::Failed;
    }
    // A batch that shows nothing reaches the office only for a document that needs it.
    const auto connectOffice = [this] {
        if (mWord.connect())
            return true;
        Messages::instance().warning(TemplateEditor::officeMissingText());
        return false;
    };
    if (mShowInOffice) {
        if (!connectOffice())
            return Preparation::Failed;
        mWord.arrange();
    }
    mCloseRequested = false;

    // With a shared server the local files are copies: the document, or else the template, as it is there now.
    QString fetchError;
    if (!mNewDocument && !DocumentSync::fetchAnyFormat(mDocumentPath, &fetchError)) {
        Messages::instance().warning(DocumentSync::fetchFailedText(fetchError));
        return Preparation::Failed;
    }
    const QString existing = mNewDocument ? QString() : DocumentPaths::existingDocument(mDocumentPath);
    if (!existing.isEmpty()) {
        if (PackageTemplate::formatOf(existing) != PackageTemplate::Format::None)
            mDocumentPath = DocumentPaths::withSuffixOf(mDocumentPath, existing);
        if (!mShowInOffice && !connectOffice())
            return Preparation::Failed;
        if (!mWord.open(existing)) {
            showOfficeError();
            return Preparation::Failed;
        }
        return lockShown(Preparation::Opened);
    }

    if (!DocumentSync::fetchAnyFormat(DocumentPaths::templateFile(mCategoryCode), &fetchError)) {
        Messages::instance().warning(DocumentSync::fetchFailedText(fetchError));
        return Preparation::Failed;
    }
    const QString templateFile = DocumentPaths::existingTemplate(mCategoryCode);
    if (templateFile.isEmpty()) {
        Messages::instance().information(templateMissingText());
        mWord.disconnect();
        mCloseRequested = true;
        return Preparation::NoTemplate;
    }
    if (PackageTemplate::formatOf(templateFile) != PackageTemplate::Format::None)
        return lockShown(generateFromPackage(templateFile));
    if (!mShowInOffice && !connectOffice())
        return Preparation::Failed;
    return lockShown(generateNew(templateFile));
}

QString ContractDocument::workingCopyPath(const QString &documentPath) {
    const QFileInfo info(documentPath);
    return info.absolutePath() + QStringLiteral("/~") + info.fileName();
}

ContractDocument::Preparation ContractDocument::generateNew(const QString &templateFile) {
    // The contract document comes into being filled or not at all: the template is filled in a copy beside it,
    // and the filled document is saved under the contract document's name at once. Closed without "保存" later,
    // it stays filled; a failed fill leaves nothing there, and the next opening generates again.
    QDir().mkpath(QFileInfo(mDocumentPath).absolutePath());
    const QString working = workingCopyPath(mDocumentPath);
    const auto removeWorking = qScopeGuard([&working] { QFile::remove(working); });
    // The copy also shows at once that the document could not be written there (a full or read-only disk).
    const auto copied = CopyFileContent(templateFile, working);
    if (!copied) {
        Messages::instance().warning(QStringLiteral("复制合同模板文件发生错误！\r错误原因：") + copied.error);
        return Preparation::Failed;
    }
    switch (fillPrefilled(templateFile)) {
    case Fill::Filled:
        if (!mWord.saveAs(mDocumentPath)) {
            QFile::remove(mDocumentPath);
            Messages::instance().warning(QStringLiteral("保存文件发生错误"));
        } else {
            storeGenerated();
        }
        return Preparation::Generated;
    case Fill::Failed:
        return Preparation::Generated;
    case Fill::NotRun:
        break;
    }
    if (!mWord.open(working)) {
        showOfficeError();
        return Preparation::Failed;
    }
    if (fillMarkers() != Fill::Filled || mClosed)
        return Preparation::Generated;
    if (!mWord.saveAs(mDocumentPath)) {
        // A save cut short must not leave a half-written file that later opens as the contract document.
        QFile::remove(mDocumentPath);
        Messages::instance().warning(QStringLiteral("保存文件发生错误"));
    } else {
        storeGenerated();
    }
    return Preparation::Generated;
}

void ContractDocument::storeGenerated() {
    // Another user made this record's document meanwhile: theirs is shown when the user asks for it.
    const DocumentSync::WriteBack written = DocumentSync::writeBack(mDocumentPath, QStringLiteral("合同文档"));
    if (written == DocumentSync::WriteBack::Written)
        recordWrite(ChangeHistory::DocumentGenerated);
    if (written == DocumentSync::WriteBack::Reloaded && !mWord.open(mDocumentPath))
        showOfficeError();
}

void ContractDocument::recordWrite(const QString &action) {
    // A batch hands the record over and makes the document on a thread of its own, away from the database; it
    // records the documents it made itself, on the database's thread.
    if (mPreloaded)
        return;
    ChangeHistory::recordDocument(mRecordId, mCategoryCode, action, mDocumentPath);
}

ContractDocument::Preparation ContractDocument::generateFromPackage(const QString &templateFile) {
    // Filled in the program, not in the office: the document on disk is the filled one, in the template's format.
    bool ok = false;
    const QList<Indicator> indicators = this->indicators(&ok);
    mPairs = ok ? markerPairsFor(indicators, mRecord) : QList<MarkerPair>();
    const QList<QPair<QString, QString>> replacements = replacementsOf(mPairs);
    mDocumentPath = DocumentPaths::withSuffixOf(mDocumentPath, templateFile);
    QDir().mkpath(QFileInfo(mDocumentPath).absolutePath());
    if (mHint)
        mHint(true);
    const QHash<QString, QString> conditions = conditionValuesFor(indicators, mRecord);
    const PackageTemplate::Result filled =
        mPrepared && mPrepared->templatePath() == templateFile
            ? mPrepared->fill(mDocumentPath, replacements, conditions)
            : PackageTemplate::fill(templateFile, mDocumentPath, replacements, conditions);
    if (mHint)
        mHint(false);
    if (!filled.ok) {
        Messages::instance().warning(QStringLiteral("生成合同文档发生错误！\r错误原因：") + filled.error);
        return Preparation::Failed;
    }
    // Opened below in whichever form the server keeps: the user's own, or another user's made meanwhile.
    if (DocumentSync::writeBack(mDocumentPath, QStringLiteral("合同文档")) == DocumentSync::WriteBack::Written)
        recordWrite(ChangeHistory::DocumentGenerated);
    if (!mShowInOffice)
        return Preparation::Generated;
    if (!mWord.open(mDocumentPath)) {
        showOfficeError();
        return Preparation::Failed;
    }
    if (ok && indicators.isEmpty())
        Messages::instance().information(QStringLiteral("选定合同对应的合同参数已经不存在！"));
    mWord.bringToFront();
    return Preparation::Generated;
}

namespace {

// Only a value column of the record counts; a damaged DataFieldA gives an empty value, never another field.
QString valueOf(const Indicator &indicator, const QSqlRecord &record) {
    const QString column = indicator.DataFieldA.trimmed();
    if (column.startsWith(QLatin1String("Data"), Qt::CaseInsensitive) && record.indexOf(column) >= 0)
        return record.value(column).toString();
    return {};
}

} // namespace

QList<MarkerPair> ContractDocument::markerPairsFor(const QList<Indicator> &indicators, const QSqlRecord &record) {
    QList<MarkerPair> pairs;
    pairs.reserve(indicators.size());
    for (const Indicator &indicator : indicators)
        pairs.append({indicator.marker(), valueOf(indicator, record) + indicator.Unit});
    return pairs;
}

QHash<QString, QString> ContractDocument::conditionValuesFor(const QList<Indicator> &indicators,
                                                             const QSqlRecord &record) {
    QHash<QString, QString> values;
    for (const Indicator &indicator : indicators) {
        // Of two indicators whose names differ only in letter case the first counts, as for their markers.
        const QString name = indicator.PropertyName;
        bool taken = false;
        for (auto it = values.cbegin(); it != values.cend() && !taken; ++it)
            taken = it.key().compare(name, Qt::CaseInsensitive) == 0;
        if (!taken)
            values.insert(name, valueOf(indicator, record));
    }
    return values;
}

ContractDocument::Fill ContractDocument::fillPrefilled(const QString &templateFile) {
    bool ok = false;
    const QList<Indicator> indicators = this->indicators(&ok);
    if (!ok || indicators.isEmpty())
        return Fill::NotRun; // the usual way says what is missing
    mGenerating = true;
    const auto done = qScopeGuard([this] { mGenerating = false; });
    const QList<MarkerPair> pairs = markerPairsFor(indicators, mRecord);
    const QList<QPair<QString, QString>> replacements = replacementsOf(pairs);
    if (mHint)
        mHint(true);
    if (mPump)
        mPump();
    const bool opened =
        !mClosed && mWord.openPrefilled(templateFile, replacements, conditionValuesFor(indicators, mRecord));
    if (opened)
        mPairs = pairs;
    // An office that failed on the way (it ended, or hung and was ended) is said as a failed fill is said.
    const Fill end = endFill(opened ? QString() : mWord.lastError());
    if (end != Fill::Filled)
        return end;
    if (!opened)
        return Fill::NotRun;
    if (mShowInOffice)
        mWord.bringToFront();
    return Fill::Filled;
}

bool ContractDocument::regenerate() {
    const Fill filled = fillMarkers();
    // Filled in the open document; the file changes when it is saved, which is recorded then.
    if (filled == Fill::Filled)
        recordWrite(ChangeHistory::DocumentRegenerated);
    return filled != Fill::NotRun;
}

ContractDocument::Fill ContractDocument::fillMarkers() {
    // Pending events are let through while filling; a second click must not start a run inside the first.
    if (mGenerating || mClosed || !mHaveRecord)
        return Fill::NotRun;
    bool ok = false;
    const QList<Indicator> indicators = this->indicators(&ok);
    if (!ok)
        return Fill::NotRun;
    if (indicators.isEmpty()) {
        Messages::instance().information(QStringLiteral("选定合同对应的合同参数已经不存在！"));
        return Fill::NotRun;
    }

    mGenerating = true;
    const auto done = qScopeGuard([this] { mGenerating = false; });
    mPairs = markerPairsFor(indicators, mRecord);
    if (mHint)
        mHint(true);
    if (mPump)
        mPump();
    if (mClosed)
        return Fill::Failed;
    // In SortIdx order, so a value that holds the marker of a later indicator is filled in turn. Every occurrence
    // is replaced, wherever it stands in the document, in one batch that the office does not redraw in between.
    const QList<QPair<QString, QString>> replacements = replacementsOf(mPairs);
    const Fill end = endFill(mWord.replaceInOrder(replacements, nullptr, conditionValuesFor(indicators, mRecord))
                                 ? QString()
                                 : mWord.lastError());
    if (end == Fill::Filled && mShowInOffice)
        mWord.bringToFront();
    return end;
}

ContractDocument::Fill ContractDocument::endFill(const QString &error) {
    if (mPump)
        mPump();
    if (mHint)
        mHint(false);
    if (mClosed)
        return Fill::Failed;
    if (!error.isEmpty()) {
        Messages::instance().warning(QStringLiteral("生成合同文档时发生错误，文档可能没有填写完整。\r错误原因：") +
                                     error);
        return Fill::Failed;
    }
    return Fill::Filled;
}

QList<QPair<QString, QString>> ContractDocument::replacementsOf(const QList<MarkerPair> &pairs) {
    QList<QPair<QString, QString>> replacements;
    replacements.reserve(pairs.size());
    for (const MarkerPair &pair : pairs)
        replacements.append({pair.marker, pair.replacement});
    return replacements;
}

bool ContractDocument::save() {
    // The window's messages are let through while the markers are filled: a click on "保存" then would store the
    // half-made document and report it saved.
    if (mGenerating)
        return false;
    QDir().mkpath(QFileInfo(mDocumentPath).absolutePath());
    if (!mWord.saveAs(mDocumentPath)) {
        Messages::instance().warning(QStringLiteral("保存文件发生错误"));
        return false;
    }
    switch (DocumentSync::writeBack(mDocumentPath, QStringLiteral("合同文档"))) {
    case DocumentSync::WriteBack::Written:
        break;
    case DocumentSync::WriteBack::Reloaded:
        if (!mWord.open(mDocumentPath))
            showOfficeError();
        return false;
    case DocumentSync::WriteBack::Kept:
    case DocumentSync::WriteBack::Failed:
        return false;
    }
    recordWrite(ChangeHistory::DocumentSaved);
    mSaved = true;
    return true;
}

void ContractDocument::checkDocument() {
    // The file as it stands on disk: what the office shows but has not saved is not part of it.
    const ChangeHistory::DocumentCheck check = ChangeHistory::checkDocument(mDocumentPath);
    const QString text = ChangeHistory::describe(check, mDocumentPath);
    if (check.outcome == ChangeHistory::DocumentCheck::Outcome::Unchanged)
        Messages::instance().information(text);
    else
        Messages::instance().warning(text);
}

void ContractDocument::print() {
    if (mGenerating)
        return;
    if (!mWord.print())
        showOfficeError();
}

void ContractDocument::sendMail() {
    if (mGenerating)
        return;
    if (!mWord.sendMail()) {
        showOfficeError();
        return;
    }
    mWord.bringToFront();
}

QString ContractDocument::contractNumberIn(const QSqlRecord &record) {
    bool ok = false;
    return contractNumberIn(record,
                            Indicator::ofCategory(record.value(QStringLiteral("MainTypeCode")).toString(), &ok));
}

QString ContractDocument::contractNumberIn(const QSqlRecord &record, const QList<Indicator> &indicators) {
    for (const Indicator &indicator : indicators) {
        const QString column = indicator.DataFieldA.trimmed();
        if (indicator.CalcStr.contains(QLatin1String("[GETBILLID]"), Qt::CaseInsensitive) &&
            record.indexOf(column) >= 0)
            return record.value(column).toString().trimmed();
    }
    return QString();
}

QString ContractDocument::pdfFileName() const {
    QString name = contractNumberIn(mRecord);
    // Characters no file name may hold on the systems the file may travel to.
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.unicode() < 0x20)
            c = QLatin1Char('_');
    }
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name = QString::number(mRecordId);
    return name + QStringLiteral(".pdf");
}

void ContractDocument::exportPdf() {
    if (mGenerating)
        return;
    if (!mWord.hasDocument()) {
        showOfficeError();
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString path = Messages::instance().saveFileName(
        QStringLiteral("导出PDF文件"), folder + QLatin1Char('/') + pdfFileName(), QStringLiteral("PDF 文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!mWord.exportPdf(path)) {
        // A half-written PDF must not pass for the contract.
        QFile::remove(path);
        showOfficeError();
        return;
    }
    mWord.bringToFront();
}

bool ContractDocument::raiseOffice() {
    if (mCloseRequested)
        return true;
    mWord.bringToFront();
    return false;
}

void ContractDocument::windowClicked() {
    if (!mClosed && mWord.isConnected())
        mWord.bringToFront();
}

bool ContractDocument::hasUnsavedChange() {
    return mWord.isModified();
}

void ContractDocument::afterClosed() {
    QFile::remove(workingCopyPath(mDocumentPath));
}
