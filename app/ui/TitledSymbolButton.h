#pragma once

#include <QAbstractButton>
#include <QFont>

#include <string>
#include <string_view>

namespace velorin {

// A plain button of the flyover controls: a symbol followed by its title, padded at both
// ends, in the primary colour of the map controls. GUI thread only.
class TitledSymbolButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int kSymbolSpacingPoints = 6;

    // `height` 0 fits the text's own height.
    TitledSymbolButton(const QFont& font, int horizontalPadding, int height, QWidget* parent);

    void setContent(std::string_view symbol, const QString& title);
    const std::string& symbol() const { return symbol_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont font_;
    QFont symbolFont_;
    int padding_;
    int height_;
    std::string symbol_;
};

} // namespace velorin
