#pragma once

#include <QMetaType>
#include <QString>

// The record every node of a category tree carries. TypeName is the name when the node was made: a rename changes
// the node's caption only.
struct CategoryRecord {
    QString TypeCode;
    QString ParTypeCode;
    QString TypeName;
    int nLeveal = 0;

    // Only child categories own indicators, template documents and contract records.
    bool isChild() const { return nLeveal != 0; }
};

Q_DECLARE_METATYPE(CategoryRecord)
