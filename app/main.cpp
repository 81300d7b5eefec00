#include <QApplication>

#include "app/zelk_main_form.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    morvane::ZELKMainForm form;
    form.show();
    return QApplication::exec();
}
