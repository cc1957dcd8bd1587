#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// "检查模板": what in a template would make a contract go out wrong, read from the template's package (a .docx or
// .odt; a Word 97 template is checked through the OpenDocument copy the office makes of it). Changes nothing.
namespace TemplateCheck {

struct Finding {
    QString text;  // the marker ("[<乙方>]") or the broken piece of text
    QString place; // 正文, 表格, 页眉, 页脚, 文本框, 脚注, 尾注
    int count = 0;
};

// A marker of an optional clause ([<如果:…>], [<否则>], [<结束>]) that generation cannot settle as written.
struct ClauseFinding {
    QString marker;    // the marker as written
    QString problem;   // what is wrong, for the user
    QString place;     // as in Finding
    QString paragraph; // the start of its paragraph
};

struct Report {
    bool readable = false;
    QList<Finding> unknownMarkers; // markers that name no indicator of the category
    QStringList unusedIndicators;  // indicators the template never names
    QList<Finding> brokenMarkers;  // "[<" without ">]" in its paragraph (also one cut by a paragraph break)
    QList<ClauseFinding> clauseProblems;
    bool clean() const {
        return readable && unknownMarkers.isEmpty() && unusedIndicators.isEmpty() && brokenMarkers.isEmpty() &&
               clauseProblems.isEmpty();
    }
};

// indicatorNames: the category's indicators (letter case is ignored, as in generation).
Report check(const QString &packagePath, const QStringList &indicatorNames);

// The report as the dialog shows it.
QString describe(const Report &report);
// One clause finding on one line: the marker, what is wrong, where.
QString describe(const ClauseFinding &finding);

} // namespace TemplateCheck
