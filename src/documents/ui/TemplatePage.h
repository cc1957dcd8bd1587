#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "documents/ui/DocumentServices.h"

class QPdfDocument;
class QPdfView;

// The template tab's document view: the category's template read-only with its real layout (a PDF of it). Keys
// are swallowed; releasing a mouse button over it opens the template editor.
class TemplatePage : public QWidget {
    Q_OBJECT

public:
    // The services are used as they are when the page needs them; they outlive the page.
    explicit TemplatePage(const DocumentServices &services, QWidget *parent = nullptr);

    void setAfterEdit(std::function<void()> afterEdit) { mAfterEdit = std::move(afterEdit); }
    // What a mouse click on the view does; by default editTemplate().
    void setEditRequest(std::function<void()> editRequest) { mEditRequest = std::move(editRequest); }

    // Shows the category's template, or the empty template when it has none; an error leaves the view empty.
    void showTemplate(const QString &categoryCode);
    // Opens the template editor for the category shown (nothing for a root category or none), the main window
    // 100 pixels wide while it is open; then runs the after-edit hook (or shows the template again).
    void editTemplate();

    QString categoryCode() const { return mCategoryCode; }
    // The document shown and the PDF standing for it; both empty while the view is empty.
    QString shownDocument() const { return mShownDocument; }
    QString shownPdf() const { return mShownPdf; }
    int pageCount() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void clearView();

    const DocumentServices &mServices;
    QString mCategoryCode;
    QString mShownDocument;
    QString mShownPdf;
    std::function<void()> mAfterEdit;
    std::function<void()> mEditRequest;
    QWidget *mView = nullptr;
    QPdfDocument *mPdf = nullptr;
    bool mEditing = false;
    bool mWaitingForOffice = false;
};
