#include "ASXPVS.h"
#include "Application.h"

#include <QWidget>

int main(int argc, char* argv[])
{
    LoadThemeApi();
    int result = 0;
    {
        TApplication app(argc, argv);
        TApplication::setApplicationDisplayName(QStringLiteral("Quartzel"));
        QWidget window;
        window.show();
        result = TApplication::exec();
    }
    UnloadThemeApi();
    return result;
}
