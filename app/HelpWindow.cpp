#include "HelpWindow.h"

#include <QPointer>
#include <QTextBrowser>
#include <QWidget>

#include "core/Help.h"

namespace morvik::app {

void ShowHelp(QWidget* parent, std::string_view lang) {
    // One window per parent, found again by name, so that F1 pressed twice does not stack
    // copies; a child of the main window closes with it. Closing only hides it.
    static QPointer<QTextBrowser> withoutParent;
    QTextBrowser* browser = parent != nullptr
                                ? parent->findChild<QTextBrowser*>(QStringLiteral("HelpWindow"),
                                                                   Qt::FindDirectChildrenOnly)
                                : withoutParent.data();
    if (browser == nullptr) {
        browser = new QTextBrowser(parent);
        browser->setObjectName(QStringLiteral("HelpWindow"));
        browser->setWindowFlag(Qt::Window);
        browser->setOpenLinks(false);
        browser->resize(640, 560);
        if (parent == nullptr) withoutParent = browser;
    }
    const bool cz = lang == "cz";
    browser->setWindowTitle(cz ? QStringLiteral("MORVIK – nápověda")
                               : QStringLiteral("MORVIK – help"));
    const std::string html = core::HelpHtml(lang);
    browser->setHtml(QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size())));
    browser->show();
    browser->raise();
    browser->activateWindow();
}

}  // namespace morvik::app
