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

} // namespace DocumentPaths

namespace DocumentPaths {

// What the template tab shows for a child category: its template when it has one, else the empty template;
// empty when neither file exists.
QString documentToShow(const QString &categoryCode);

} // namespace DocumentPaths
