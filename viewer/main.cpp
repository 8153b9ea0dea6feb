#include "form1.h"
#include "identity.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpIdentity();

    Form1 form;
    form.show();
    return app.exec();
}
