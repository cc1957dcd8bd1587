#include "TemplateEditor.h"

#include "Clipboard.h"
#include "DocumentPaths.h"
#include "Messages.h"
#include "WordApp.h"

#include <QDir>
#include <QFileInfo>

TemplateEditor::TemplateEditor(WordApp &word, Messages &messages, Clipboard &clipboard, const QString &categoryCode,
                               const QString &templatePath)
    : mWord(word)
    , mMessages(messages)
    , mCategoryCode(categoryCode)
    , mTemplatePath(templatePath)
{
    mWord.setClipboardWriter([&clipboard](const QString &text) { clipboard.setText(text); });
}

void TemplateEditor::setIndicatorDialogs(EditIndicatorNameFn editIndicatorName, SelectIndicatorFn selectIndicator)
{
    mEditIndicatorName = std::move(editIndicatorName);
    mSelectIndicator = std::move(selectIndicator);
}

QString TemplateEditor::officeMissingText()
{
    return QStringLiteral("可能您的系统中尚未安装Microsoft Word 办公软件");
}

void TemplateEditor::showOfficeError()
{
    const QString error = mWord.lastError();
    mMessages.warning(error.isEmpty() ? QStringLiteral("办公软件操作失败。") : error);
}

bool TemplateEditor::ReadyData()
{
    if (!mWord.connect()) {
        mMessages.warning(officeMissingText());
        return false;
    }
    mWord.arrange();
    // A .docx or .odt template is edited and saved as such: a Word 97 file saved beside it would take its place.
    const QString ownTemplate = DocumentPaths::existingDocument(mTemplatePath);
    if (!ownTemplate.isEmpty() && QFileInfo(ownTemplate).suffix().compare(QLatin1String("doc"), Qt::CaseInsensitive))
        mTemplatePath = DocumentPaths::withSuffixOf(mTemplatePath, ownTemplate);
    return LoadDoc(ownTemplate.isEmpty() ? DocumentPaths::emptyTemplate() : ownTemplate);
}

bool TemplateEditor::LoadDoc(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        mMessages.warning(QStringLiteral("文件不存在：") + QDir::toNativeSeparators(path));
        return false;
    }
    if (!mWord.open(path)) {
        showOfficeError();
        return false;
    }
    return true;
}

void TemplateEditor::Timer1Timer()
{
    if (!mClosed)
        mWord.bringToFront();
}

void TemplateEditor::insertMarker(const QString &indicatorName)
{
    // paste() leaves the marker on the clipboard as well, so the user can paste it again elsewhere.
    if (!mWord.paste(QStringLiteral("[<") + indicatorName + QStringLiteral(">]"))) {
        showOfficeError();
        return;
    }
    mWord.bringToFront();
}

void TemplateEditor::Button3Click()
{
    if (!mEditIndicatorName)
        return;
    // The indicator is stored by its editor, whether or not the template is saved afterwards.
    const QString name = mEditIndicatorName(QStringLiteral("TDataPara"), mCategoryCode, -1);
    if (name.isEmpty())
        return;
    insertMarker(name);
}

void TemplateEditor::Button4Click()
{
    if (!mSelectIndicator)
        return;
    QString name;
    if (!mSelectIndicator(mCategoryCode, &name) || name.isEmpty())
        return;
    insertMarker(name);
}

bool TemplateEditor::Button2Click()
{
    // A fresh application folder may lack the template folder; the template must not be lost for that.
    QDir().mkpath(QFileInfo(mTemplatePath).absolutePath());
    if (!mWord.saveAs(mTemplatePath)) {
        mMessages.warning(QStringLiteral("保存文件发生错误"));
        return false;
    }
    return true;
}

void TemplateEditor::Button5Click()
{
    if (!mWord.print())
        showOfficeError();
}

void TemplateEditor::FormCloseQuery()
{
    if (mClosed)
        return;
    mClosed = true;
    if (!mWord.quit())
        mWord.disconnect();
}
