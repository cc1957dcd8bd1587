#include "TemplateTab.h"

#include <QGroupBox>
#include <QVBoxLayout>

namespace {
TemplateTab::Factory &factory() {
    static TemplateTab::Factory instance;
    return instance;
}
} // namespace

TemplateTab::TemplateTab(QWidget *parent)
    : QWidget(parent) {
    templateBox = new QGroupBox(QStringLiteral("文档模板"), this);
    templateBox->setObjectName(QStringLiteral("templateBox"));
    mContent = new QVBoxLayout(templateBox);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(templateBox);
}

TemplateTab *TemplateTab::create(QWidget *parent) {
    if (factory())
        if (TemplateTab *tab = factory()(parent))
            return tab;
    return new TemplateTab(parent);
}

void TemplateTab::setFactory(Factory f) {
    factory() = std::move(f);
}

void TemplateTab::showTemplate(const QString &) {}

void TemplateTab::editTemplate(const QString &) {}

void TemplateTab::setGroupCaption(const QString &caption) {
    templateBox->setTitle(caption);
}
