#pragma once

#include <QDialog>

// The About box: title, version and the product's web address.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(const QString &webAddress, QWidget *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString mWebAddress;
    class QLabel *mPicture = nullptr;
};
