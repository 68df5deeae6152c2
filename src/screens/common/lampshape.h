#pragma once
// A filled circle with a thin outline: the link lamp of the main and maintenance screens.
#include "detector/rgb.h"

#include <QWidget>

namespace fh {

class LampShape : public QWidget {
    Q_OBJECT
public:
    explicit LampShape(QWidget* parent = nullptr);

    Rgb fillColor() const { return fill_; }
    void setFillColor(Rgb colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Rgb fill_ = colour::White;
};

} // namespace fh
