#include "widgets/SheetParts.h"

#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velorin {

QGroupBox* makeSheetSection(const QString& title)
{
    return new QGroupBox(title);
}

QLabel* makeSheetFooter(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    // Dimmed as a footer is, without taking the keyboard focus.
    label->setEnabled(false);
    return label;
}

void addSheetCloseBar(QDialog& sheet, QVBoxLayout& layout)
{
    auto* close = new QPushButton(QStringLiteral("Fermer"));
    close->setObjectName("close");
    QObject::connect(close, &QPushButton::clicked, &sheet, &QDialog::reject);
    auto* bar = new QHBoxLayout;
    bar->addWidget(close);
    bar->addStretch();
    layout.addLayout(bar);
}

} // namespace velorin
