#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// The printable table behind the print preview: it takes the table the way the register loads it (properties
// first, then widths, alignments, header texts and cells by column and row, counted from 0) and keeps it for the
// layout and painting. Out-of-range columns and rows are ignored. No display is needed.
class PrintableGrid : public QObject {
    Q_OBJECT
    Q_PROPERTY(int pPrintType READ pPrintType WRITE setPPrintType)
    Q_PROPERTY(int pRowHeight READ pRowHeight WRITE setPRowHeight)
    Q_PROPERTY(QString pCaption READ pCaption WRITE setPCaption)
    Q_PROPERTY(int pColCount READ pColCount WRITE setPColCount)
    Q_PROPERTY(int pHeaderRowCount READ pHeaderRowCount WRITE setPHeaderRowCount)
    Q_PROPERTY(int pDataRowCount READ pDataRowCount WRITE setPDataRowCount)
    Q_PROPERTY(int pCountRowCount READ pCountRowCount WRITE setPCountRowCount)
    Q_PROPERTY(bool pShowCount READ pShowCount WRITE setPShowCount)
    Q_PROPERTY(bool pActive READ pActive WRITE setPActive NOTIFY activeChanged)

public:
    enum Alignment { AlignLeft = 0, AlignCenter = 1, AlignRight = 2 };

    explicit PrintableGrid(QObject *parent = nullptr);

    int pPrintType() const { return mPrintType; }
    void setPPrintType(int value) { mPrintType = value; }
    int pRowHeight() const { return mRowHeight; }
    void setPRowHeight(int value) { mRowHeight = value; }
    QString pCaption() const { return mCaption; }
    void setPCaption(const QString &value) { mCaption = value; }
    int pColCount() const { return int(mWidths.size()); }
    void setPColCount(int value);
    int pHeaderRowCount() const { return int(mTitles.size()); }
    void setPHeaderRowCount(int value);
    int pDataRowCount() const { return int(mCells.size()); }
    void setPDataRowCount(int value);
    int pCountRowCount() const { return mCountRowCount; }
    void setPCountRowCount(int value) { mCountRowCount = value; }
    bool pShowCount() const { return mShowCount; }
    void setPShowCount(bool value) { mShowCount = value; }
    bool pActive() const { return mActive; }
    void setPActive(bool value);

    void SetColWidth(int column, int width);
    void SetColAlign(int column, int alignment);
    void SetTitleText(int column, int headerRow, const QString &text);
    void SetCellText(int column, int dataRow, const QString &text);

    int colWidth(int column) const;
    int colAlign(int column) const;
    QString titleText(int column, int headerRow) const;
    QString cellText(int column, int dataRow) const;

    // The user asks to leave the preview.
    void requestReturn() { Q_EMIT OnReturn(); }

Q_SIGNALS:
    void OnReturn();
    void activeChanged(bool active);

private:
    int mPrintType = 0;
    int mRowHeight = 16;
    QString mCaption;
    int mCountRowCount = 0;
    bool mShowCount = false;
    bool mActive = false;
    QList<int> mWidths;
    QList<int> mAligns;
    QList<QStringList> mTitles; // [header row][column]
    QList<QStringList> mCells;  // [data row][column]
};
