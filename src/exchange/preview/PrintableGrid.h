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
    Q_PROPERTY(int printType READ printType WRITE setPrintType)
    Q_PROPERTY(int rowHeight READ rowHeight WRITE setRowHeight)
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(int columnCount READ columnCount WRITE setColumnCount)
    Q_PROPERTY(int headerRowCount READ headerRowCount WRITE setHeaderRowCount)
    Q_PROPERTY(int dataRowCount READ dataRowCount WRITE setDataRowCount)
    Q_PROPERTY(int countRowCount READ countRowCount WRITE setCountRowCount)
    Q_PROPERTY(bool showCount READ showCount WRITE setShowCount)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged)

public:
    enum Alignment { AlignLeft = 0, AlignCenter = 1, AlignRight = 2 };

    explicit PrintableGrid(QObject *parent = nullptr);

    int printType() const { return mPrintType; }
    void setPrintType(int value) { mPrintType = value; }
    int rowHeight() const { return mRowHeight; }
    void setRowHeight(int value) { mRowHeight = value; }
    QString caption() const { return mCaption; }
    void setCaption(const QString &value) { mCaption = value; }
    int columnCount() const { return int(mWidths.size()); }
    void setColumnCount(int value);
    int headerRowCount() const { return int(mTitles.size()); }
    void setHeaderRowCount(int value);
    int dataRowCount() const { return int(mCells.size()); }
    void setDataRowCount(int value);
    int countRowCount() const { return mCountRowCount; }
    void setCountRowCount(int value) { mCountRowCount = value; }
    bool showCount() const { return mShowCount; }
    void setShowCount(bool value) { mShowCount = value; }
    bool isActive() const { return mActive; }
    void setActive(bool value);

    void setColumnWidth(int column, int width);
    void setColumnAlignment(int column, int alignment);
    void setTitleText(int column, int headerRow, const QString &text);
    void setCellText(int column, int dataRow, const QString &text);

    int colWidth(int column) const;
    int colAlign(int column) const;
    QString titleText(int column, int headerRow) const;
    QString cellText(int column, int dataRow) const;

    // The user asks to leave the preview.
    void requestReturn() { Q_EMIT returnRequested(); }

Q_SIGNALS:
    void returnRequested();
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
