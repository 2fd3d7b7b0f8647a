#include "widgets/SheetParts.h"

#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
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

void addSheetCloseBar(QDialog& sheet, QVBoxLayout& layout, const QString& title)
{
    auto* close = new QPushButton(QStringLiteral("Fermer"));
    close->setObjectName("close");
    QObject::connect(close, &QPushButton::clicked, &sheet, &QDialog::reject);
    auto* bar = new QGridLayout;
    bar->addWidget(close, 0, 0, Qt::AlignLeft);
    if (!title.isEmpty()) {
        // Centred on the sheet, not in the room the button leaves.
        auto* heading = new QLabel(title);
        heading->setObjectName("title");
        QFont font = heading->font();
        font.setBold(true);
        heading->setFont(font);
        bar->addWidget(heading, 0, 0, 1, 1, Qt::AlignCenter);
    }
    layout.addLayout(bar);
}

} // namespace velorin
