#include "documents/ui/TemplateEditorWindow.h"

#include "office/WordApp.h"
#include "platform/Clipboard.h"
#include "platform/Messages.h"

#include <QPushButton>
#include <QVBoxLayout>

TemplateEditorWindow::TemplateEditorWindow(const QString &categoryCode, const QString &templatePath,
                                           std::unique_ptr<WordApp> word, QWidget *parent)
    : OfficeToolWindow(std::move(word),
                       Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint,
                       parent)
    , mEditor(this->word(), categoryCode, templatePath) {
    setObjectName(QStringLiteral("TemplateEditorWindow"));
    setWindowTitle(QStringLiteral("编辑Word"));

    QPushButton *insertNewIndicatorButton = addButton("insertNewIndicatorButton", QStringLiteral("插入新指标"));
    QPushButton *insertExistingIndicatorButton =
        addButton("insertExistingIndicatorButton", QStringLiteral("插入已有指标"));
    QPushButton *insertClauseButton = addButton("insertClauseButton", QStringLiteral("插入条件段落"));
    QPushButton *saveButton = addButton("saveButton", QStringLiteral("保存"));
    QPushButton *printButton = addButton("printButton", QStringLiteral("打印"));
    QPushButton *closeButton = addButton("closeButton", QStringLiteral("关闭"));
    stripLayout()->addStretch();
    connect(insertNewIndicatorButton, &QPushButton::clicked, this, [this] { mEditor.insertNewIndicator(); });
    connect(insertExistingIndicatorButton, &QPushButton::clicked, this, [this] { mEditor.insertExistingIndicator(); });
    connect(insertClauseButton, &QPushButton::clicked, this, [this] { mEditor.insertClause(); });
    connect(saveButton, &QPushButton::clicked, this, &TemplateEditorWindow::save);
    connect(printButton, &QPushButton::clicked, this, [this] { mEditor.print(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(110, sizeHint().height());
    moveToTopLeft();
}

TemplateEditorWindow::~TemplateEditorWindow() {
    mEditor.close();
}

void TemplateEditorWindow::save() {
    if (mEditor.save())
        accept();
}
