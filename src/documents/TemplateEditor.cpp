#include "documents/TemplateEditor.h"

#include "documents/DocumentPaths.h"
#include "documents/DocumentSync.h"
#include "office/WordApp.h"
#include "platform/Clipboard.h"
#include "platform/Messages.h"
#include "text/TextHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace

TemplateEditor::TemplateEditor(WordApp &word, const QString &categoryCode, const QString &templatePath)
    : DocumentSession(word, QStringLiteral("模板文档"))
    , mCategoryCode(categoryCode)
    , mTemplatePath(templatePath) {
    mWord.setClipboardWriter([](const QString &text) { Clipboard::instance().setText(text); });
}

void TemplateEditor::setIndicatorDialogs(EditIndicatorNameFn editIndicatorName, SelectIndicatorFn selectIndicator) {
    mEditIndicatorName = std::move(editIndicatorName);
    mSelectIndicator = std::move(selectIndicator);
}

QString TemplateEditor::officeMissingText() {
    return QStringLiteral("可能您的系统中尚未安装Microsoft Word 办公软件");
}

void TemplateEditor::showOfficeError() {
    const QString error = mWord.lastError();
    Messages::instance().warning(error.isEmpty() ? QStringLiteral("办公软件操作失败。") : error);
}

bool TemplateEditor::prepare() {
    if (!mWord.connect()) {
        Messages::instance().warning(officeMissingText());
        return false;
    }
    mWord.arrange();
    QString fetchError;
    if (!DocumentSync::fetchAnyFormat(mTemplatePath, &fetchError)) {
        Messages::instance().warning(DocumentSync::fetchFailedText(fetchError));
        return false;
    }
    // A .docx or .odt template is edited and saved as such: a Word 97 file saved beside it would take its place.
    const QString ownTemplate = DocumentPaths::existingDocument(mTemplatePath);
    if (!ownTemplate.isEmpty()) {
        if (QFileInfo(ownTemplate).suffix().compare(QLatin1String("doc"), Qt::CaseInsensitive))
            mTemplatePath = DocumentPaths::withSuffixOf(mTemplatePath, ownTemplate);
        return loadDocument(ownTemplate);
    }
    const QString blank = DocumentPaths::emptyTemplate();
    if (!QFileInfo::exists(blank))
        return loadDocument(blank);
    // The office's own Save (Ctrl+S, or "Save" when its window is closed) writes where the document came from:
    // the empty template shared by every new category must never be that place. A copy of it is, in a folder of
    // this editor's own, so that the category still has no template until "保存".
    mScratch = std::make_unique<QTemporaryDir>();
    mWorkingCopy = mScratch->isValid() ? mScratch->filePath(mCategoryCode + QStringLiteral(".Doc")) : QString();
    const auto copied = mWorkingCopy.isEmpty() ? TextResult<qint64>{} : CopyFileContent(blank, mWorkingCopy);
    if (mWorkingCopy.isEmpty() || !copied) {
        Messages::instance().warning(QStringLiteral("复制空白模板文件发生错误！\r错误原因：") +
                                     (mWorkingCopy.isEmpty() ? mScratch->errorString() : copied.error));
        return false;
    }
    mBlankCopy = fileBytes(mWorkingCopy);
    return loadDocument(mWorkingCopy);
}

bool TemplateEditor::workingCopyChanged() const {
    return !mWorkingCopy.isEmpty() && !mSaved && fileBytes(mWorkingCopy) != mBlankCopy;
}

bool TemplateEditor::loadDocument(const QString &path) {
    if (!QFileInfo::exists(path)) {
        Messages::instance().warning(QStringLiteral("文件不存在：") + QDir::toNativeSeparators(path));
        return false;
    }
    if (!mWord.open(path)) {
        showOfficeError();
        return false;
    }
    return true;
}

void TemplateEditor::raiseOffice() {
    if (!mClosed)
        mWord.bringToFront();
}

void TemplateEditor::insertMarker(const QString &indicatorName) {
    // paste() leaves the marker on the clipboard as well, so the user can paste it again elsewhere.
    if (!mWord.paste(QStringLiteral("[<") + indicatorName + QStringLiteral(">]"))) {
        showOfficeError();
        return;
    }
    mWord.bringToFront();
}

void TemplateEditor::insertNewIndicator() {
    if (!mEditIndicatorName)
        return;
    // The indicator is stored by its editor, whether or not the template is saved afterwards.
    const QString name = mEditIndicatorName(QStringLiteral("TDataPara"), mCategoryCode, -1);
    if (name.isEmpty())
        return;
    insertMarker(name);
}

void TemplateEditor::insertExistingIndicator() {
    if (!mSelectIndicator)
        return;
    QString name;
    if (!mSelectIndicator(mCategoryCode, &name) || name.isEmpty())
        return;
    insertMarker(name);
}

QString TemplateEditor::clauseStart(const QString &indicatorName, const QString &value) {
    const QString condition =
        value.trimmed().isEmpty() ? indicatorName : indicatorName + QLatin1Char('=') + value.trimmed();
    return QStringLiteral("[<如果:") + condition + QStringLiteral(">]");
}

void TemplateEditor::insertClause() {
    if (!mSelectIndicator)
        return;
    QString name;
    if (!mSelectIndicator(mCategoryCode, &name) || name.isEmpty())
        return;
    const std::optional<QString> value = Messages::instance().inputText(
        QStringLiteral("插入条件段落"),
        QStringLiteral("指标“%1”的值等于下面的文字时保留这段文字；不填则只要该指标有值就保留：").arg(name));
    if (!value)
        return;
    if (!mWord.encloseSelection(clauseStart(name, *value), QStringLiteral("[<结束>]"))) {
        showOfficeError();
        return;
    }
    mWord.bringToFront();
}

bool TemplateEditor::save() {
    // A fresh application folder may lack the template folder; the template must not be lost for that.
    QDir().mkpath(QFileInfo(mTemplatePath).absolutePath());
    if (!mWord.saveAs(mTemplatePath)) {
        // The user saved in the office and closed its window: what the office saved is the template.
        if (workingCopyChanged() && !mWord.isModified() && CopyFileContent(mWorkingCopy, mTemplatePath))
            return storeSaved();
        Messages::instance().warning(QStringLiteral("保存文件发生错误"));
        return false;
    }
    return storeSaved();
}

bool TemplateEditor::storeSaved() {
    switch (DocumentSync::writeBack(mTemplatePath, QStringLiteral("模板文档"))) {
    case DocumentSync::WriteBack::Written:
        mSaved = true;
        return true;
    case DocumentSync::WriteBack::Reloaded:
        // The other user's template from now on; a new category's copy no longer stands for it.
        mScratch.reset();
        mWorkingCopy.clear();
        loadDocument(mTemplatePath);
        return false;
    case DocumentSync::WriteBack::Kept:
    case DocumentSync::WriteBack::Failed:
        break;
    }
    return false;
}

void TemplateEditor::print() {
    if (!mWord.print())
        showOfficeError();
}

bool TemplateEditor::hasUnsavedChange() {
    return mWord.isModified() || workingCopyChanged();
}

void TemplateEditor::afterClosed() {
    mScratch.reset();
}
