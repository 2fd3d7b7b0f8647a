#pragma once

#include "account/ui/Publisher.h"

#include <QString>
#include <QWidget>

#include <string_view>
#include <vector>

class QLabel;

namespace velorin {

// The page "Mentions légales": the publisher and the version, what becomes of personal
// data, the sources and licences of the maps and of the software, and the limits of the
// program's responsibility. Static but for the mail link. GUI thread only.
class LegalView : public QWidget {
public:
    // A source of the maps and its credit line.
    struct Credit {
        QString name;
        QString line;
    };

    explicit LegalView(Publisher publisher = Publisher::velorin(), QWidget* parent = nullptr);

    // "<version> (<build>)": an empty part stays empty, so nothing at all reads " ()".
    static QString versionText(std::string_view version, std::string_view build);
    // The map sources in the order they are credited.
    static std::vector<Credit> mapCredits();

    // The rows of the "Éditeur" section, as their texts.
    std::vector<QString> publisherRows() const;
    QLabel* mailLink() const { return mailLink_; }
    // The personal-data paragraphs, in order.
    std::vector<QString> personalData() const;

private:
    std::vector<QWidget*> publisherRows_;
    std::vector<QLabel*> personalData_;
    QLabel* mailLink_ = nullptr;
};

} // namespace velorin
