#pragma once

#include <QString>

// Where the template and contract documents of the application folder live. File names keep the case the
// program writes (".Doc"); a document brought over from a system that ignores letter case (".doc", ".DOC") is
// found all the same.
namespace DocumentPaths {

// Application folder + "DB/ModelFiles/" + code + ".Doc".
QString templateFile(const QString &categoryCode);
// Application folder + "DB/Empty.Doc".
QString emptyTemplate();
// Application folder + "DB/ContractFile/" + record ID + ".Doc".
QString contractFile(int recordId);

// The file on disk that path names when letter case is ignored in its file name (the path itself first);
// empty when there is none.
QString existingFile(const QString &path);

// A template may also be a .docx or an .odt file, filled without the office; the contract document made from it
// takes its format (<ID>.docx, <ID>.odt).
// The category's template on disk: the Word 97 file, else a .docx, else an .odt of the same name; empty when none.
QString existingTemplate(const QString &categoryCode);
// The contract document on disk in any of the three formats (path itself first); empty when there is none.
QString existingDocument(const QString &path);
// path with the suffix of model's file name in place of its own.
QString withSuffixOf(const QString &path, const QString &model);

} // namespace DocumentPaths

namespace DocumentPaths {

// What the template tab shows for a child category: its template when it has one, else the empty template;
// empty when neither file exists.
QString documentToShow(const QString &categoryCode);

} // namespace DocumentPaths
