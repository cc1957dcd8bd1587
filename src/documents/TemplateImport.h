#pragma once

#include "package/TemplateCheck.h"

#include <QString>
#include <QStringList>

#include <optional>

class WordApp;

// "导入模板文件": a word processor document the user already has becomes the category's template. A Word 97
// file keeps the name the program writes (<code>.Doc); a .docx or .odt keeps its format and is filled without the
// office. The file is checked first, copied beside its place and renamed into it, and only then is a template of
// another format removed, so a failure leaves the category's template as it was.
namespace TemplateImport {

// Asks for the file (a question first when the category has a template already) and imports it; messages for
// every failure. True when the category's template was replaced.
bool run(const QString &categoryCode);

// The import without the dialogs: empty on success, else the message for the user.
QString importFile(const QString &categoryCode, const QString &source);

// "检查模板" on the category's template: the text for the dialog; clean tells whether nothing was found. A Word 97
// template is read through word's OpenDocument copy of it.
QString checkTemplate(const QString &categoryCode, WordApp &word, bool *clean);
// The check itself, on the category's template against the given indicator names; nullopt with the reason for the
// user when there is no template or the office cannot read it. Reads no database (a batch runs it on its threads).
std::optional<TemplateCheck::Report> checkReport(const QString &categoryCode, const QStringList &indicatorNames,
                                                 WordApp &word, QString *why);

} // namespace TemplateImport
