#pragma once

#include <QHash>
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

// The file names of one folder by their case-folded form (the first in name order where two fold alike), read
// once for many look-ups there: a batch asks for a document of each of thousands of records, and listing the
// folder for each would take longer than making the documents.
using FolderNames = QHash<QString, QString>;
FolderNames namesIn(const QString &folder);
// As above, the letter-case variants looked up in names, a listing of the path's folder, instead of listing it
// again; what it finds is checked to be there still.
QString existingFile(const QString &path, const FolderNames &names);
QString existingDocument(const QString &path, const FolderNames &names);
// path with the suffix of model's file name in place of its own.
QString withSuffixOf(const QString &path, const QString &model);

} // namespace DocumentPaths

namespace DocumentPaths {

// What the template tab shows for a child category: its template when it has one, else the empty template;
// empty when neither file exists.
QString documentToShow(const QString &categoryCode);

} // namespace DocumentPaths
