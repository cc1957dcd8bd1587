#pragma once

#include "TemplateEditor.h"

#include <QDialog>

#include <memory>

class QPushButton;
class QTimer;
class WordApp;

// "编辑Word": the narrow tool window beside the word processor while a template is edited.
class TfrmEditADoc : public QDialog
{
    Q_OBJECT

public:
    TfrmEditADoc(const QString &categoryCode, const QString &templatePath, std::unique_ptr<WordApp> word,
                 QWidget *parent = nullptr);
    ~TfrmEditADoc() override;

    TemplateEditor &editor() { return mEditor; }
    WordApp &word() { return *mWord; }
    QTimer *timer() const { return mPlacementTimer; }

    void done(int result) override;
    // "关闭", Esc and the close box: a changed document is asked about first.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormActivate();
    void save();

    std::unique_ptr<WordApp> mWord;
    TemplateEditor mEditor;
    QTimer *mPlacementTimer = nullptr;
    bool mPrepared = false;
};
