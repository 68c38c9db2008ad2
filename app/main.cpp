// MORVIK: sex estimation from cranial landmarks by discriminant functions.
#include <QApplication>

#include "fMain.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("MORVIK");
    QApplication::setApplicationDisplayName("MORVIK");
    morvik::app::TForm1 form;
    form.show();
    return QApplication::exec();
}
