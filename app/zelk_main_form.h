#pragma once

#include <QMainWindow>

namespace morvane {

class ZELKMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit ZELKMainForm(QWidget* parent = nullptr);
};

}  // namespace morvane
