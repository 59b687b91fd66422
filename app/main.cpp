#include "Main.h"
#include "ASXPVS.h"
#include "Application.h"
#include "RigctlServer.h"
#include "TerminationSignals.h"

#include <QFont>

namespace {

// The window is designed in "MS Sans Serif", which Linux does not have;
// Liberation Sans keeps the captions close to their designed widths.
void substituteDesignFonts()
{
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
}

} // namespace

int main(int argc, char* argv[])
{
    LoadThemeApi();
    int result = 0;
    {
        TApplication app(argc, argv);
        TApplication::setApplicationDisplayName(QStringLiteral("Quartzel"));
        substituteDesignFonts();
        TMainFormSetup setup;
        setup.options = processCommandLine();
        // A stop request can come while the window is still being created
        // (its creation may show an error box); it is carried out once the
        // window exists, so the settings are still saved.
        TMainForm* window = nullptr;
        bool stopRequested = false;
        TerminationSignals stopRequests([&] {
            stopRequested = true;
            if (window)
                window->close();
            else
                TApplication::closeAllWindows();
        });
        TMainForm mainForm(setup);
        window = &mainForm;
        const TRigctlService rigctld(mainForm, setup.options);
        if (!stopRequested || !mainForm.close()) {
            mainForm.show();
            result = TApplication::exec();
        }
    }
    UnloadThemeApi();
    return result;
}
