#include "app/zelk_main_form.h"

namespace morvane {

ZELKMainForm::ZELKMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("ZELKMainForm");
    setWindowTitle("Morvane");
}

}  // namespace morvane
