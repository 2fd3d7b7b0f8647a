#pragma once

#include <QDialog>
#include <QString>

#include <map>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

namespace velorin {

class AppModel;

// The sheet "État du chargement": why map tiles are not arriving (the model's problem, the
// network, what the tile loader does, how full the texture cache is, where the position
// comes from and when it last came, which server the tiles come from) and "Relancer le
// chargement". Its rows are updated in place whenever the model
// changes. GUI thread only; the model outlives it.
class DiagnosticsView : public QDialog {
public:
    static constexpr int kSymbolPixelSize = 16;

    explicit DiagnosticsView(AppModel& model, QWidget* parent = nullptr);

    // The value shown in the row titled `title`, as plain text; empty for a row not shown.
    QString value(const QString& title) const;
    // The label that shows a row's value, for as long as the sheet lives.
    QLabel* valueLabel(const QString& title) const;
    // The sections shown now, in order.
    int sectionCount() const;
    QPushButton& retryButton() const { return *retry_; }
    QLabel& server() const { return *server_; }

private:
    void refresh();
    void addRow(QGroupBox& section, const QString& title);
    void setValue(const QString& title, const QString& value);

    AppModel& model_;
    std::map<QString, QLabel*> values_;
    std::map<QString, QWidget*> rows_;
    QGroupBox* cacheSection_;
    QPushButton* retry_;
    QLabel* server_;
    std::vector<QGroupBox*> sections_;
};

} // namespace velorin
